#include "Sha1.h"

#include "res/CodecIds.h"

#include <wincrypt.h>

#include <atomic>
#include <vector>

namespace {

std::atomic<DWORD> g_sha1ProviderType{PROV_RSA_FULL};

// Releases what was acquired so far, tells the user and ends the operation quietly.
[[noreturn]] void FailSha1(UINT messageId, DWORD error, HCRYPTHASH hash, HCRYPTPROV provider)
{
    if (hash)
        CryptDestroyHash(hash);
    if (provider)
        CryptReleaseContext(provider, 0);
    CString message;
    message.Format(messageId, static_cast<unsigned>(error));
    AfxMessageBox(message, MB_OK);
    AfxThrowUserException();
}

}  // namespace

DWORD SetSha1ProviderTypeForTesting(DWORD providerType) { return g_sha1ProviderType.exchange(providerType); }

CString ComputeSha1(const wchar_t* text)
{
    const DWORD providerType = g_sha1ProviderType.load();
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT)) {
        const DWORD error = GetLastError();
        if (static_cast<HRESULT>(error) != NTE_BAD_KEYSET)
            FailSha1(IDS_CODEC_NO_PROVIDER, error, 0, 0);
        if (!CryptAcquireContextW(&provider, nullptr, nullptr, providerType, CRYPT_VERIFYCONTEXT | CRYPT_NEWKEYSET))
            FailSha1(IDS_CODEC_NO_PROVIDER, GetLastError(), 0, 0);
    }
    if (!CryptCreateHash(provider, CALG_SHA1, 0, 0, &hash))
        FailSha1(IDS_CODEC_NO_HASH, GetLastError(), 0, provider);

    // The text as the ANSI code page sees it: unrepresentable characters become the code
    // page's replacement character before they are hashed as UTF-16LE code units.
    const std::string narrow = CString(text).ToNarrow(CP_THREAD_ACP);
    const CString wide = CString::FromNarrow(narrow.data(), static_cast<int>(narrow.size()), CP_ACP);
    std::vector<BYTE> units;
    units.reserve(static_cast<size_t>(wide.GetLength()) * 2);
    for (int i = 0; i < wide.GetLength(); ++i) {
        const unsigned unit = wide[i];
        units.push_back(static_cast<BYTE>(unit & 0xFF));
        units.push_back(static_cast<BYTE>(unit >> 8));
    }
    if (!CryptHashData(hash, units.data(), static_cast<DWORD>(units.size()), 0))
        FailSha1(IDS_CODEC_HASH_FAILED, GetLastError(), hash, provider);

    BYTE digest[20] = {};
    DWORD digestLength = sizeof(digest);
    if (!CryptGetHashParam(hash, HP_HASHVAL, digest, &digestLength, 0) || digestLength != sizeof(digest))
        FailSha1(IDS_CODEC_NO_HASH_VALUE, GetLastError(), hash, provider);
    CryptDestroyHash(hash);
    CryptReleaseContext(provider, 0);

    CString result;
    for (BYTE b : digest)
        result.AppendFormat(L"%02X", static_cast<unsigned>(b));
    return result;
}
