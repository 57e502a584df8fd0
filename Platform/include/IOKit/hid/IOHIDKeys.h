// Constants of the HID interface: report and element types, options, and property keys.
#pragma once

#include <stdint.h>

typedef uint32_t IOHIDElementCookie;

typedef enum
{
    kIOHIDReportTypeInput = 0,
    kIOHIDReportTypeOutput = 1,
    kIOHIDReportTypeFeature = 2,
    kIOHIDReportTypeCount
} IOHIDReportType;

typedef enum
{
    kIOHIDElementTypeInput_Misc = 1,
    kIOHIDElementTypeInput_Button = 2,
    kIOHIDElementTypeInput_Axis = 3,
    kIOHIDElementTypeInput_ScanCodes = 4,
    kIOHIDElementTypeOutput = 129,
    kIOHIDElementTypeFeature = 257,
    kIOHIDElementTypeCollection = 513
} IOHIDElementType;

typedef enum
{
    kIOHIDElementCollectionTypePhysical = 0x00,
    kIOHIDElementCollectionTypeApplication = 0x01,
    kIOHIDElementCollectionTypeLogical = 0x02,
    kIOHIDElementCollectionTypeReport = 0x03,
    kIOHIDElementCollectionTypeNamedArray = 0x04,
    kIOHIDElementCollectionTypeUsageSwitch = 0x05,
    kIOHIDElementCollectionTypeUsageModifier = 0x06
} IOHIDElementCollectionType;

enum
{
    kIOHIDOptionsTypeNone = 0x00,
    kIOHIDOptionsTypeSeizeDevice = 0x01
};
typedef uint32_t IOHIDOptionsType;

typedef enum
{
    kIOHIDValueScaleTypeCalibrated = 0,
    kIOHIDValueScaleTypePhysical = 1,
    kIOHIDValueScaleTypeExponent = 2
} IOHIDValueScaleType;

// Device properties.
#define kIOHIDTransportKey "Transport"
#define kIOHIDVendorIDKey "VendorID"
#define kIOHIDVendorIDSourceKey "VendorIDSource"
#define kIOHIDProductIDKey "ProductID"
#define kIOHIDVersionNumberKey "VersionNumber"
#define kIOHIDManufacturerKey "Manufacturer"
#define kIOHIDProductKey "Product"
#define kIOHIDSerialNumberKey "SerialNumber"
#define kIOHIDCountryCodeKey "CountryCode"
#define kIOHIDLocationIDKey "LocationID"
#define kIOHIDDeviceUsageKey "DeviceUsage"
#define kIOHIDDeviceUsagePageKey "DeviceUsagePage"
#define kIOHIDDeviceUsagePairsKey "DeviceUsagePairs"
#define kIOHIDPrimaryUsageKey "PrimaryUsage"
#define kIOHIDPrimaryUsagePageKey "PrimaryUsagePage"
#define kIOHIDMaxInputReportSizeKey "MaxInputReportSize"
#define kIOHIDMaxOutputReportSizeKey "MaxOutputReportSize"
#define kIOHIDMaxFeatureReportSizeKey "MaxFeatureReportSize"
#define kIOHIDReportIntervalKey "ReportInterval"

// Element properties, and the keys of element matching dictionaries.
#define kIOHIDElementCookieKey "ElementCookie"
#define kIOHIDElementTypeKey "Type"
#define kIOHIDElementCollectionTypeKey "CollectionType"
#define kIOHIDElementUsageKey "Usage"
#define kIOHIDElementUsagePageKey "UsagePage"
#define kIOHIDElementMinKey "Min"
#define kIOHIDElementMaxKey "Max"
#define kIOHIDElementScaledMinKey "ScaledMin"
#define kIOHIDElementScaledMaxKey "ScaledMax"
#define kIOHIDElementSizeKey "Size"
#define kIOHIDElementReportSizeKey "ReportSize"
#define kIOHIDElementReportCountKey "ReportCount"
#define kIOHIDElementReportIDKey "ReportID"
#define kIOHIDElementIsArrayKey "IsArray"
#define kIOHIDElementIsRelativeKey "IsRelative"
#define kIOHIDElementIsWrappingKey "IsWrapping"
#define kIOHIDElementIsNonLinearKey "IsNonLinear"
#define kIOHIDElementHasPreferredStateKey "HasPreferredState"
#define kIOHIDElementHasNullStateKey "HasNullState"
#define kIOHIDElementUnitKey "Unit"
#define kIOHIDElementUnitExponentKey "UnitExponent"
#define kIOHIDElementNameKey "Name"

// Element calibration, read by the calibrated scale of IOHIDValueGetScaledValue.
#define kIOHIDElementCalibrationMinKey "CalibrationMin"
#define kIOHIDElementCalibrationMaxKey "CalibrationMax"
#define kIOHIDElementCalibrationSaturationMinKey "CalibrationSaturationMin"
#define kIOHIDElementCalibrationSaturationMaxKey "CalibrationSaturationMax"
#define kIOHIDElementCalibrationDeadZoneMinKey "CalibrationDeadZoneMin"
#define kIOHIDElementCalibrationDeadZoneMaxKey "CalibrationDeadZoneMax"
#define kIOHIDElementCalibrationGranularityKey "CalibrationGranularity"
