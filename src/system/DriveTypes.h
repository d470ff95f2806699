#pragma once
// GetDriveTypeA results the program tells apart.
namespace drivetype {
constexpr unsigned kFixed = 3;  // DRIVE_FIXED
}
