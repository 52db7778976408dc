// Writes a WAV file and is killed half-way: wave_writer_child <path> <bytes before the kill>.
#include "WaveWriter.h"
#include "CdAudio.h"

#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    CWaveWriter writer;
    if (FAILED(writer.Open(argv[1], CdAudioFormat())))
        return 3;
    std::vector<BYTE> block(4096, 0x11);
    for (unsigned long left = std::wcstoul(argv[2], nullptr, 10); left;) {
        DWORD size = left < block.size() ? static_cast<DWORD>(left) : static_cast<DWORD>(block.size());
        if (FAILED(writer.Write(block.data(), size)))
            return 4;
        left -= size;
    }
    TerminateProcess(GetCurrentProcess(), 9);  // no Close, no destructor
    return 0;
}
