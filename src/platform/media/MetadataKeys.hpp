#pragma once

// Keys of the photo metadata dictionary. Top-level keys name the groups; each
// group is a sub-dictionary whose keys are the tag names below. The imaging
// layer converts these to and from the file's own tag forms.
namespace qv::platform::metadata {

inline constexpr const char* exifGroup = "{Exif}";
inline constexpr const char* tiffGroup = "{TIFF}";
inline constexpr const char* gpsGroup = "{GPS}";
inline constexpr const char* dngGroup = "{DNG}";

// Top level
inline constexpr const char* orientation = "Orientation";
inline constexpr const char* pixelWidth = "PixelWidth";
inline constexpr const char* pixelHeight = "PixelHeight";

// {Exif}
inline constexpr const char* exifExposureTime = "ExposureTime";
inline constexpr const char* exifISOSpeedRatings = "ISOSpeedRatings";
inline constexpr const char* exifFNumber = "FNumber";
inline constexpr const char* exifFocalLength = "FocalLength";
inline constexpr const char* exifDateTimeOriginal = "DateTimeOriginal";
inline constexpr const char* exifLensModel = "LensModel";

// {TIFF}
inline constexpr const char* tiffMake = "Make";
inline constexpr const char* tiffModel = "Model";
inline constexpr const char* tiffSoftware = "Software";
inline constexpr const char* tiffImageDescription = "ImageDescription";
inline constexpr const char* tiffDateTime = "DateTime";
inline constexpr const char* tiffOrientation = "Orientation";

// {DNG}
inline constexpr const char* dngBlackLevel = "BlackLevel";
inline constexpr const char* dngWhiteLevel = "WhiteLevel";
inline constexpr const char* dngAsShotNeutral = "AsShotNeutral";
inline constexpr const char* dngUniqueCameraModel = "UniqueCameraModel";
inline constexpr const char* dngColorMatrix1 = "ColorMatrix1";
inline constexpr const char* dngCalibrationIlluminant1 = "CalibrationIlluminant1";

// {GPS}
inline constexpr const char* gpsLatitude = "Latitude";
inline constexpr const char* gpsLatitudeRef = "LatitudeRef";
inline constexpr const char* gpsLongitude = "Longitude";
inline constexpr const char* gpsLongitudeRef = "LongitudeRef";
inline constexpr const char* gpsAltitude = "Altitude";
inline constexpr const char* gpsAltitudeRef = "AltitudeRef";
inline constexpr const char* gpsTimeStamp = "TimeStamp";
inline constexpr const char* gpsDateStamp = "DateStamp";
inline constexpr const char* gpsVersion = "GPSVersion";
inline constexpr const char* gpsImgDirection = "ImgDirection";
inline constexpr const char* gpsImgDirectionRef = "ImgDirectionRef";

} // namespace qv::platform::metadata
