// UTF-8 text to and from the UTF-16 of the wide Win32 calls.
#pragma once

#include <windows.h>

#include <string>

std::wstring Widen(const char* utf8);
std::string Narrow(const wchar_t* text);
