#pragma once

#include <array>

// Each language's Mac font, its name as the language menu shows it, and a sample of its script.
struct LanguageFont
{
    const char* font;
    const char* name;
    const char* sample;
};

inline constexpr std::array<LanguageFont, 12> languageFonts{{
    {"Arial", "English", "Update the firmware of the TRV-Q8? Ver. 1.23"},
    {"Arial", "Français", "Mise à jour terminée. Débranchez l'appareil « TRV-Q8 »."},
    {"Arial", "Deutsch", "Aktualisierung läuft. Gerät nicht trennen. Größe ÄÖÜ ß"},
    {"Arial", "Español", "¿Actualizar el firmware? Conecte el dispositivo. ¡Listo! ñ"},
    {"Arial", "Italiano", "Aggiornamento completato. Perché è già così?"},
    {"Arial", "Nederlands", "Het bijwerken is geslaagd. Één ogenblik, coördinatie."},
    {"Helvetica Neue", "Русский", "Обновление прошивки завершено. Подключите устройство. Ёё"},
    {"Arial", "Português", "Atualização concluída. Não desconecte o dispositivo. ção"},
    {"Heiti SC", "简体中文", "固件更新已完成。请连接设备，然后按开始。"},
    {"Heiti TC", "繁體中文", "韌體更新已完成。請連接裝置，然後按開始。"},
    {"AppleGothic Regular", "한국어", "펌웨어 업데이트가 완료되었습니다. 장치를 연결하십시오."},
    {"Hiragino Maru Gothic Pro W4", "日本語", "ファームウェアの更新が完了しました。機器を接続してください。"},
}};
