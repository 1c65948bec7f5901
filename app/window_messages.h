// The installer's own window messages. All are posted except UM_TOGGLE_CHECK,
// which is sent.
#pragma once
#include <windows.h>

constexpr UINT UM_DOWNLOAD_DONE = 10001;
constexpr UINT UM_DOWNLOAD_FAILED = 10002;
constexpr UINT UM_DOWNLOAD_PROGRESS = 10010;
constexpr UINT UM_TOGGLE_CHECK = 10050;
constexpr UINT UM_EXTRACT_FAILED = 11110;
constexpr UINT UM_EXTRACT_PROGRESS = 11111;
constexpr UINT UM_EXTRACT_DONE = 11112;
constexpr UINT UM_QUIT = 11119;
