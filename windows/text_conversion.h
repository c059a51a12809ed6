// UTF-8, the text of the portable core and of the failure words, and the wide strings of Windows.
#pragma once

#include <string>

std::string Utf8FromWide(const std::wstring& text);
std::wstring WideFromUtf8(const std::string& text);
