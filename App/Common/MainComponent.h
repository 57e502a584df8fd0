#pragma once

#include "HidHandler.h"
#include "PageClickGuard.h"
#include "UpdateFileFormat.h"

#include <atomic>
#include <mutex>
#include <optional>

#include <juce_gui_basics/juce_gui_basics.h>

class AlineButton;
class HidCtrl;
class LangLookAndFeel;
class ProgressLookAndFeel;

// The one component inside the main window. It owns everything that runs: the pages' widgets, the
// update engine (the update file, the status and the transfer on its worker thread) and the
// device control object.
class MainComponent : public juce::Component,
                      public juce::AsyncUpdater,
                      public juce::Thread,
                      public HidHandler,
                      public juce::ComboBox::Listener,
                      public juce::Button::Listener
{
public:
    typedef int UpdaterStatus_t;
    enum
    {
        STATUS_NONE = -1, // nothing pending
        STATUS_INIT = 0,  // the language page
        STATUS_DISCONNECTED = 1,
        STATUS_CONNECTED = 2,
        STATUS_UPDATING = 3,
        STATUS_SUCCEEDED = 4, // final
        STATUS_FAILED = 5,    // final
    };

    // What the update file holds, once verified.
    struct upd_info_t
    {
        juce::uint32 totalSize; // sum of every block's size
        int version;            // firmware version as a decimal number
        juce::uint8 blockCount;
    };

    struct fw_info_t
    {
        juce::uint32 blockVersion;
        bool update; // to be written
        bool encrypted;
        juce::uint8 keyIndex;
        juce::uint32 size;
        unsigned char* data; // decrypted, owned: array new, released by the destructor
        juce::uint16 crc16;
    };

    static constexpr int maxBlocks = 16;       // entries of fwInfo
    static constexpr int maxWrittenBlocks = 9; // blocks that the transfer's start report can list
    // The start report carries the total size and each block's size in 24 bits.
    static constexpr juce::uint32 largestTransferSize = 0xFFFFFF;

    MainComponent();
    // Only the update-file engine: the CRC table, no file read, no widgets, no device.
    // Lets tools and tests verify update files without a window.
    enum EngineOnly
    {
        engineOnly
    };
    explicit MainComponent(EngineOnly);
    ~MainComponent() override;

    void paint(juce::Graphics& g) override;
    void resized() override;
    void handleAsyncUpdate() override;
    void run() override;
    void comboBoxChanged(juce::ComboBox* comboBoxThatHasChanged) override;
    void buttonClicked(juce::Button* button) override;
    void removalCallBack() override;
    void matchingCallBack() override;
    void inputCallBack() override;

    // Update status
    void setUpdateStatus(UpdaterStatus_t newStatus);
    void setUpdateStatus(bool succeeded);
    void updateSequence(UpdaterStatus_t newStatus);
    void quitSequence();

    // Pages
    void updateCtrl();
    // Append the connect instructions, or the sentence that tells how to start the device in
    // update mode, to glyphs with their top-left corner at (x, y).
    void dispHowToUpdate(float x, float y, int language, const juce::String& fontName, bool withHeadline);
    void dispHowToStart(float x, float y, int language, const juce::String& fontName);
    // A vector icon in the warning image's square: 0 none, 2 warning, 3 information, others a question.
    void drawIcon(juce::Graphics& g, int iconType);

    // Update file
    void initCRC32();
    int checkUPD(const juce::String& fileName, upd_info_t* info, fw_info_t* blocks);
    // What checkUPD does with the file once it has read it whole.
    int checkUPDImage(const unsigned char* image, int length, upd_info_t* info, fw_info_t* blocks);
    juce::uint32 calcCRC32(const unsigned char* data, juce::uint32 length) const;
    juce::uint32 updateCRC32(juce::uint32 crc, const unsigned char* data, juce::uint32 length) const;
    static juce::uint16 calcCRC16(const unsigned char* data, int length);
    static juce::uint8 ConvertAsciiToHex(unsigned char c);
    static juce::uint32 createEncryptionKey(const juce::uint32* table, const upd_header_t& header,
                                            const firmware_header_t& record);
    static juce::uint32 decryptData(juce::uint32 data, juce::uint32 key) { return data ^ key; }
    static int isFileValid(int checkResult, const upd_info_t& info);

    // Test seam: the transfer's time limits. The program keeps these values; tests shorten them.
    struct TransferTimeLimits
    {
        int replyMs = 10000; // start, select and finish
        int dataMs = 180000; // each data chunk
        int finishPauseMs = 100;
    };
    static TransferTimeLimits transferTimeLimits;

    juce::GlyphArrangement glyphs;
    LangLookAndFeel* langLookAndFeel = nullptr;
    juce::ComboBox* langCombo = nullptr;
    ProgressLookAndFeel* progressLookAndFeel = nullptr;
    // Shown by the progress bar; the message thread copies it from transferProgress.
    double progress = 0.0;
    juce::ProgressBar* progressBar = nullptr;
    AlineButton* okButton = nullptr;
    AlineButton* cancelButton = nullptr;
    juce::CriticalSection statusLock;
    juce::WaitableEvent replyEvent;
    UpdaterStatus_t status = STATUS_INIT;
    int pendingStatus = STATUS_NONE;
    int currentVersion = -1;
    juce::uint32 crcTable[256] = {};
    upd_info_t updInfo = {};
    fw_info_t fwInfo[maxBlocks] = {};
    HidCtrl* hidCtrl = nullptr;
    // The hand-over of replies from the message thread to the worker, under replyLock.
    std::mutex replyLock;
    unsigned char replyBuffer[256] = {};
    bool replyWaiting = false;        // a reply of the device that the worker has not taken yet
    bool transferInterrupted = false; // a device event or a quit that the worker has not met yet
    int fileValid = 0;
    // Written by the worker.
    std::atomic<double> transferProgress{0.0};

private:
    // Widgets
    void createLanguageBox();
    void createProgressBar();
    AlineButton* createButton(const juce::String& text);
    void deleteWidgets();
    void placeButtons(int width, int height);

    // Pages
    void addPageTexts(int language, const juce::String& fontName);
    void addVersionLines(int language, const juce::String& fontName);
    void addText(const juce::Font& font, const juce::String& text, float x, float y, float width,
                 float height, int maxLines);
    // Adds a text whose box runs from (x, y) to the component's bottom, with as many lines as fit.
    void addTextDown(const juce::Font& font, const juce::String& text, float x, float y, float rightMargin);
    float bottomOfLastGlyph() const;
    void updateWidgets(int language);
    void updateButtons();

    // Transfer
    struct Reply
    {
        unsigned char code;
        unsigned char percent;
    };
    bool sendStart();
    bool sendBlocks();
    bool sendBlockData(unsigned char* report, const fw_info_t& block);
    bool sendFinish();
    // Sends the report and gives the device's reply; nothing when no reply came in time, or when
    // a device event or a quit cut the exchange short.
    std::optional<Reply> exchange(unsigned char* report, int timeLimitMs);
    std::optional<Reply> takeReply();
    bool takeInterruption();
    void setProgress(double value);

    // Status and events
    void okClicked();
    void stopWorker();
    void deviceChanged(UpdaterStatus_t statusToPost);
    // Wakes the worker with an empty reply, unless a reply of the device is still waiting for it.
    void interruptTransfer();
    void startHandOver();

    // Update file
    bool parseBlock(const unsigned char* image, juce::uint32& offset, juce::uint32 end,
                    const upd_header_t& header, fw_info_t& block, upd_info_t& info);
    void releaseBlocks();

    // The text and image singletons were created by this component and are released with it.
    bool ownsLoaders = false;
    PageClickGuard clickGuard{*this};

    JUCE_DECLARE_NON_COPYABLE(MainComponent)
};
