#pragma once
// Text cipher shared by the service commands and the settings file:
// AES-128 ECB with zero padding, carried as Base64, over 8-bit (ANSI) text.
#include <string>

// A fresh key of 16 characters from [0-9A-Za-z].
std::wstring MakeSessionKey();

// 16 upper-case hex characters: the middle eight bytes of the MD5 of the password.
std::wstring PasswordDigest(const std::wstring& password);

std::wstring EncryptText(const std::wstring& plain, const std::wstring& key);

// Never fails: a wrong key or damaged text gives a garbled text.
std::wstring DecryptText(const std::wstring& cipher, const std::wstring& key);
