#include "HID_Config_Utilities.h"

#include "HidLibDevices.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <unistd.h>

using namespace hidlibtest;

namespace
{
// Preferences go to a folder of this run's own, never to the user's, and go with the run.
const bool kPrivatePreferences = []
{
    static char folder[] = "/tmp/hidconfig-test-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        std::abort();
    setenv("HOME", folder, 1);
    setenv("XDG_CONFIG_HOME", folder, 1);
    std::atexit([] { std::filesystem::remove_all(folder); });
    return true;
}();

const CFStringRef kApp = CFSTR("org.trv-q8.tests.hidconfig");

using Found = std::pair<IOHIDDeviceRef, IOHIDElementRef>;

// The stick and two identical TRV-Q8s on buses whose locations have the top bit set.
class HIDConfigTest : public StickTest
{
protected:
    void SetUp() override
    {
        add(trvAt(0x81, 1));
        add(trvAt(0x82, 3));
        StickTest::SetUp();
        trvHigh = device(0x81, 1);
        trvHigher = device(0x82, 3);
        ASSERT_NE(trvHigher, nullptr);
    }

    static HIDElementConfigRecord record(IOHIDDeviceRef device, IOHIDElementRef element, int actionID = 0)
    {
        HIDElementConfigRecord config{};
        HIDSetElementConfig(&config, device, element, actionID);
        return config;
    }

    static std::string storedText(CFStringRef key)
    {
        CFPropertyListRef value = CFPreferencesCopyAppValue(key, kApp);
        char text[256] = "(none)";
        if (value != nullptr && CFGetTypeID(value) == CFStringGetTypeID())
            CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text, kCFStringEncodingUTF8);
        if (value != nullptr)
            CFRelease(value);
        return text;
    }

    Found found() const { return {foundDevice, foundElement}; }

    IOHIDDeviceRef trvHigh = nullptr;
    IOHIDDeviceRef trvHigher = nullptr;
    IOHIDDeviceRef foundDevice = nullptr;
    IOHIDElementRef foundElement = nullptr;
};
} // namespace

TEST_F(HIDConfigTest, SavesAPreferenceWithTheUnsignedLocationAndFindsTheSameControlAgain)
{
    IOHIDElementRef reply = element(trvHigh, 0xFF00, 2);
    ASSERT_TRUE(HIDSaveElementPref(CFSTR("fire"), kApp, trvHigh, reply));
    ASSERT_TRUE(CFPreferencesAppSynchronize(kApp));
    EXPECT_EQ(storedText(CFSTR("fire")),
              "d:{v:23070, p:31, l:2165309440, p:65280, u:1}, e:{p:65280, u:2, c:" +
                  std::to_string(IOHIDElementGetCookie(reply)) + "}");
    ASSERT_TRUE(HIDRestoreElementPref(CFSTR("fire"), kApp, &foundDevice, &foundElement));
    EXPECT_EQ(found(), Found(trvHigh, reply));

    ASSERT_TRUE(HIDSaveElementPref(CFSTR("fire"), kApp, trvHigher, element(trvHigher, 0xFF00, 2)));
    ASSERT_TRUE(HIDRestoreElementPref(CFSTR("fire"), kApp, &foundDevice, &foundElement));
    EXPECT_EQ(foundDevice, trvHigher) << "the location decides between two identical devices";
}

TEST_F(HIDConfigTest, RefusesToSaveWhatItCouldNotFindAgainAndToRestoreWhatIsNoPreference)
{
    IOHIDDevice_SetLongProperty(stick, CFSTR("LocationID"), 0);
    EXPECT_FALSE(HIDSaveElementPref(CFSTR("noLocation"), kApp, stick, y));
    IOHIDDevice_SetLongProperty(stick, CFSTR("LocationID"), 5);
    for (CFStringRef key :
         {CFSTR("DeviceUsagePage"), CFSTR("DeviceUsage"), CFSTR("PrimaryUsagePage"), CFSTR("PrimaryUsage")})
        IOHIDDevice_SetLongProperty(stick, key, 0);
    EXPECT_FALSE(HIDSaveElementPref(CFSTR("noUsage"), kApp, stick, y));
    EXPECT_FALSE(HIDSaveElementPref(nullptr, kApp, stick, y));
    EXPECT_FALSE(HIDSaveElementPref(CFSTR("noElement"), kApp, stick, nullptr));
    EXPECT_EQ(storedText(CFSTR("noLocation")), "(none)");
    EXPECT_EQ(storedText(CFSTR("noUsage")), "(none)");

    // A stored value of another type is removed; a string of the wrong form is kept.
    int number = 7;
    CFNumberRef seven = CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number);
    CFPreferencesSetAppValue(CFSTR("number"), seven, kApp);
    CFRelease(seven);
    EXPECT_FALSE(HIDRestoreElementPref(CFSTR("number"), kApp, &foundDevice, &foundElement));
    EXPECT_EQ(storedText(CFSTR("number")), "(none)");
    CFPreferencesSetAppValue(CFSTR("garbled"), CFSTR("d:{v:1, p:2, l:3}"), kApp);
    EXPECT_FALSE(HIDRestoreElementPref(CFSTR("garbled"), kApp, &foundDevice, &foundElement));
    EXPECT_EQ(storedText(CFSTR("garbled")), "d:{v:1, p:2, l:3}");
    EXPECT_FALSE(HIDRestoreElementPref(CFSTR("absent"), kApp, &foundDevice, &foundElement));
    EXPECT_EQ(found(), Found(nullptr, nullptr));
}

TEST_F(HIDConfigTest, ReadsThePreferenceFormLeniently)
{
    HIDElementConfigRecord c{};
    ASSERT_TRUE(hu_ReadElementPrefString(
        CFSTR("d:{v:12,p:34,l:4294967295,p:1,u:6},e:{p:7,u:4,c:-2147483648} extra"), &c));
    EXPECT_EQ(std::tuple(c.vendorID, c.productID, c.locationID, c.usagePage, c.usage, c.elementUsagePage,
                         c.elementUsage, c.elementCookie),
              std::tuple(12, 34, -1, 1, 6, 7, 4, INT32_MIN));
    EXPECT_FALSE(hu_ReadElementPrefString(CFSTR("d:{v:12, p:34, l:56, p:1, u:6}, e:{p:7, u:4}"), &c));
    EXPECT_FALSE(hu_ReadElementPrefString(CFSTR("D:{v:12, p:34, l:56, p:1, u:6}, e:{p:7, u:4, c:1}"), &c));
    EXPECT_FALSE(hu_ReadElementPrefString(nullptr, &c));
    const std::string tooLong = "d:{v:12, p:34, l:56, p:1, u:6}, e:{p:7, u:4, c:1}" + std::string(250, ' ');
    CFStringRef longText =
        CFStringCreateWithCString(kCFAllocatorDefault, tooLong.c_str(), kCFStringEncodingUTF8);
    EXPECT_FALSE(hu_ReadElementPrefString(longText, &c));
    CFRelease(longText);
}

TEST_F(HIDConfigTest, ScoresTheBestMatch)
{
    // No device of the vendor, but an element with the saved usage: it wins over every other element.
    HIDElementConfigRecord config{};
    config.vendorID = 0x7777;
    config.elementUsagePage = 1;
    config.elementUsage = 0x31;
    ASSERT_TRUE(HIDFindDeviceAndElement(&config, &foundDevice, &foundElement));
    EXPECT_EQ(found(), Found(stick, y));

    // Without an element usage, the first element of the best device.
    config = record(trvHigher, element(trvHigher, 0xFF00, 3));
    config.elementUsagePage = 0;
    ASSERT_TRUE(HIDFindDeviceAndElement(&config, &foundDevice, &foundElement));
    EXPECT_EQ(found(), Found(trvHigher, HIDGetFirstDeviceElement(trvHigher, kHIDElementTypeAll)));

    // Two identical devices: the location breaks the tie, else the earlier device wins.
    config = record(trvHigher, element(trvHigher, 0xFF00, 2));
    config.vendorID = 0;
    ASSERT_TRUE(HIDFindDeviceAndElement(&config, &foundDevice, &foundElement));
    EXPECT_EQ(found(), Found(trvHigher, element(trvHigher, 0xFF00, 2)));
    config.locationID = 0;
    ASSERT_TRUE(HIDFindDeviceAndElement(&config, &foundDevice, &foundElement));
    EXPECT_EQ(foundDevice, trvHigh);
    EXPECT_EQ(gElementCFArrayRef, nullptr);

    // Nothing without the device list.
    HIDReleaseDeviceList();
    EXPECT_FALSE(HIDFindDeviceAndElement(&config, &foundDevice, &foundElement));
    EXPECT_EQ(foundDevice, trvHigh);
    EXPECT_EQ(HIDGetElementConfig(&config, &foundDevice, &foundElement), 0);
    EXPECT_EQ(foundDevice, nullptr);
}

TEST_F(HIDConfigTest, FillsARecordOnlyWithBothDeviceAndElementAndLeavesItsReadingsMoving)
{
    HIDElementConfigRecord c = record(stick, x, 9);
    EXPECT_EQ(std::tuple(c.actionID, c.vendorID, c.productID, c.locationID, c.elementUsagePage,
                         c.elementUsage, c.saturationMin, c.elementCookie),
              std::tuple(9, 0x1234, 0x5678, 0x01200000, 1, 0x30, 0, int(IOHIDElementGetCookie(x))));
    // Filling stored the derived calibration: saturation 0 to 0, range 1023 to 0. Neither holds
    // the calibrated readings still.
    sendAndWait(stickNumber, stickReport(1023, 0), x, 1023);
    EXPECT_EQ(IOHIDElement_GetValue(x, kIOHIDValueScaleTypeCalibrated), 1.0);
    sendAndWait(stickNumber, stickReport(0, 0), x, 0);
    EXPECT_EQ(IOHIDElement_GetValue(x, kIOHIDValueScaleTypeCalibrated), -1.0);

    c = record(stick, nullptr, 4);
    EXPECT_EQ(std::tuple(c.actionID, c.vendorID, c.elementCookie), std::tuple(4, 0, 0));
}

TEST_F(HIDConfigTest, RestoresWholeFileRecordsInOrderWithTheirSaturation)
{
    FILE* file = tmpfile();
    ASSERT_NE(file, nullptr);
    IOHIDElementRef command = element(trvHigher, 0xFF00, 3);
    IOHIDElement_SetCalibrationSaturationMin(x, -20);
    IOHIDElement_SetCalibrationSaturationMax(x, 900);
    HIDSaveElementConfig(file, stick, x, 11);
    HIDSaveElementConfig(file, trvHigher, command, 12);
    HIDSaveElementConfig(nullptr, trvHigher, command, 13);
    EXPECT_EQ(ftell(file), 88);
    HIDSaveElementConfig(file, stick, x, 14);
    ASSERT_EQ(fflush(file), 0);
    ASSERT_EQ(ftruncate(fileno(file), 131), 0); // the last record is one byte short

    IOHIDElement_SetCalibrationSaturationMin(x, 0);
    rewind(file);
    EXPECT_EQ(HIDRestoreElementConfig(file, &foundDevice, &foundElement), 11);
    EXPECT_EQ(found(), Found(stick, x));
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMin(x), -20);
    EXPECT_EQ(IOHIDElement_GetCalibrationSaturationMax(x), 900);
    EXPECT_EQ(IOHIDElement_GetCalibrationMax(x), 1023);
    EXPECT_EQ(HIDRestoreElementConfig(file, &foundDevice, &foundElement), 12);
    EXPECT_EQ(found(), Found(trvHigher, command));
    EXPECT_EQ(HIDRestoreElementConfig(file, &foundDevice, &foundElement), 0);
    EXPECT_EQ(found(), Found(nullptr, nullptr));
    fclose(file);
}

TEST_F(HIDConfigTest, ARecordFindsItsLocationFirstAndThenTheSameVendorAndProduct)
{
    IOHIDElementRef reply = element(trvHigher, 0xFF00, 2);
    HIDElementConfigRecord config = record(trvHigher, reply, 3);
    EXPECT_EQ(HIDGetElementConfig(&config, &foundDevice, &foundElement), 3);
    EXPECT_EQ(foundDevice, trvHigher);
    config.locationID = 0x0AB00000; // gone
    EXPECT_EQ(HIDGetElementConfig(&config, &foundDevice, &foundElement), 3);
    EXPECT_EQ(found(), Found(trvHigh, element(trvHigh, 0xFF00, 2)));
    config.locationID = 0;
    EXPECT_EQ(HIDGetElementConfig(&config, &foundDevice, &foundElement), 3);
    EXPECT_EQ(found(), Found(nullptr, nullptr));

    // A device at the location whose elements do not match does not lead on to another device.
    config = record(trvHigher, reply, 3);
    config.elementCookie = 999;
    config.elementUsage = 99;
    EXPECT_EQ(HIDGetElementConfig(&config, &foundDevice, &foundElement), 3);
    EXPECT_EQ(foundDevice, nullptr);
}
