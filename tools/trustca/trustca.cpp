// trustca FILE.der: makes the certificate in FILE a trusted root for the
// current user of this Wine prefix (the test prefixes' own authority).
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <vector>

namespace {

bool ReadWhole(const wchar_t* path, std::vector<BYTE>& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 20);
    DWORD read = 0;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
             read == bytes.size();
    }
    CloseHandle(file);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<BYTE> der;
    if (argc != 2 || !ReadWhole(argv[1], der)) {
        std::fputs("usage: trustca FILE.der\n", stderr);
        return 2;
    }
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (!root) {
        std::fprintf(stderr, "trustca: cannot open the Root store (%lu)\n", GetLastError());
        return 1;
    }
    const bool added =
        CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (!added) {
        std::fprintf(stderr, "trustca: cannot add the certificate (%lu)\n", GetLastError());
    }
    CertCloseStore(root, 0);
    return added ? 0 : 1;
}
