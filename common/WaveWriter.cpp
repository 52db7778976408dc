#include "WaveWriter.h"

#include <algorithm>
#include <cstring>

HRESULT CWaveWriter::Fail(Step step)
{
    DWORD error = GetLastError();
    m_failed = step;
    if (m_file) {
        mmioClose(m_file, 0);
        m_file = nullptr;
    }
    return error ? HRESULT_FROM_WIN32(error & 0xFFFF) : E_FAIL;
}

HRESULT CWaveWriter::Open(const wchar_t* path, const WAVEFORMATEX& format)
{
    Close();
    m_failed = Step::None;
    m_dataBytes = 0;
    SetLastError(0);
    m_file = mmioOpenW(const_cast<LPWSTR>(path), nullptr, MMIO_CREATE | MMIO_WRITE | MMIO_EXCLUSIVE);
    if (!m_file)
        return Fail(Step::Open);

    // The RIFF size given here covers the header alone until Close sets the real one.
    m_riff = MMCKINFO{};
    m_riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    m_riff.cksize = 4 + 8 + 18 + 8;
    if (mmioCreateChunk(m_file, &m_riff, MMIO_CREATERIFF) != MMSYSERR_NOERROR)
        return Fail(Step::CreateRiff);

    MMCKINFO fmt{};
    fmt.ckid = mmioFOURCC('f', 'm', 't', ' ');
    fmt.cksize = 18;
    if (mmioCreateChunk(m_file, &fmt, 0) != MMSYSERR_NOERROR)
        return Fail(Step::CreateFormat);
    static_assert(sizeof(WAVEFORMATEX) >= 18, "the fmt chunk holds the format's first 18 bytes");
    char block[18];
    std::memcpy(block, &format, sizeof(block));
    if (mmioWrite(m_file, block, sizeof(block)) != static_cast<LONG>(sizeof(block)))
        return Fail(Step::WriteFormat);
    if (mmioAscend(m_file, &fmt, 0) != MMSYSERR_NOERROR)
        return Fail(Step::AscendFormat);

    m_data = MMCKINFO{};
    m_data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    m_data.cksize = 0;
    if (mmioCreateChunk(m_file, &m_data, 0) != MMSYSERR_NOERROR)
        return Fail(Step::CreateData);
    return S_OK;
}

HRESULT CWaveWriter::Write(const void* data, DWORD size)
{
    if (!m_file)
        return E_UNEXPECTED;
    if (!size)
        return S_OK;
    if (!Fits(m_dataBytes, size, std::min(m_maxDataBytes, kMaxDataBytes))) {
        m_failed = Step::WriteData;
        return kTooLarge;
    }
    SetLastError(0);
    LONG written = mmioWrite(m_file, static_cast<const char*>(data), static_cast<LONG>(size));
    if (written > 0)
        m_dataBytes += static_cast<DWORD>(written);
    if (written != static_cast<LONG>(size)) {
        DWORD error = GetLastError();
        m_failed = Step::WriteData;
        return error ? HRESULT_FROM_WIN32(error & 0xFFFF) : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
    }
    return S_OK;
}

HRESULT CWaveWriter::Close()
{
    if (!m_file)
        return S_OK;
    // Ascending writes each chunk's size from where the file stands, so a short write earlier
    // still leaves sizes that match the bytes on disk.
    SetLastError(0);
    if (mmioAscend(m_file, &m_data, 0) != MMSYSERR_NOERROR)
        return Fail(Step::AscendData);
    if (mmioAscend(m_file, &m_riff, 0) != MMSYSERR_NOERROR)
        return Fail(Step::AscendRiff);
    mmioClose(m_file, 0);
    m_file = nullptr;
    return S_OK;
}
