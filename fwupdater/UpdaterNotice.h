#pragma once
// Pallumo's notices to a parent program (the UpdaterNotice message): the
// kind travels as wParam, the value as lParam. Needs nothing else of the
// updater, so a program that starts Pallumo and follows its notices can
// include it on its own.
#include <cstdint>

namespace pallumo::notice {

// Kinds.
constexpr uint32_t kPort = 0, kFile = 1, kUpdate = 2, kProgress = 3;
// Values of kPort.
constexpr uint32_t kPortOpened = 0, kPortFailed = 1, kPortAccessDenied = 2;
// Values of kFile.
constexpr uint32_t kFileParsed = 0, kFileNotFound = 1, kFileCannotOpen = 2, kFileNoRecords = 3, kFileCorrupted = 4;
// Values of kUpdate; kProgress carries the percentage, 0 to 100.
constexpr uint32_t kUpdateStarted = 0, kUpdateFailed = 2, kUpdateSucceeded = 3;

}  // namespace pallumo::notice
