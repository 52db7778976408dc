#include "RecorderFixture.h"

#include <sstream>

namespace burntest {

namespace {

constexpr wchar_t kVariable[] = L"VESPERLIN_RECORDERS";

// Reads the samples of both files and compares them: the track must be 44,100 Hz 16-bit stereo,
// hold the source's frames, then silence up to a whole number of 588-frame sectors.
constexpr char kCheckScript[] =
    "import sys, wave\n"
    "t = wave.open(sys.argv[1]); s = wave.open(sys.argv[2])\n"
    "p = (t.getnchannels(), t.getframerate(), t.getsampwidth())\n"
    "if p != (2, 44100, 2): print('format', p); sys.exit()\n"
    "n = s.getnframes(); want = -(-n // 588) * 588\n"
    "if t.getnframes() != want: print('frames', t.getnframes(), 'want', want); sys.exit()\n"
    "a = t.readframes(t.getnframes()); b = s.readframes(n)\n"
    "if a[:len(b)] != b: print('samples differ'); sys.exit()\n"
    "if a[len(b):].strip(b'\\0'): print('padding is not silence'); sys.exit()\n"
    "print('ok')\n";

}  // namespace

void RecorderTest::TearDown()
{
    StarBurn_DownShut();
    SetEnvironmentVariableW(kVariable, nullptr);
}

void RecorderTest::Use(const std::string& fixture)
{
    const CString path = m_folder / L"recorders.ini";
    testsupport::WriteAll(path, fixture);
    SetEnvironmentVariableW(kVariable, path);
    Clear();
    ASSERT_EQ(STARBURN_OK, StarBurn_UpStartEx(STARBURN_INTERFACE_VERSION, m_text, sizeof m_text, &m_systemError)) << m_text;
}

void* RecorderTest::Open(const char* device, ULONG shared)
{
    Clear();
    void* grabber = nullptr;
    StarBurn_CdvdBurnerGrabber_CreateEx(&grabber, m_text, sizeof m_text, &m_systemError, &m_failure, OnEvent, this, device,
                                        shared);
    return grabber;
}

void RecorderTest::Clear()
{
    std::fill(std::begin(m_text), std::end(m_text), '\0');
    m_systemError = 0;
    m_failure = STARBURN_FAILURE_INFO{};
}

std::vector<std::string> RecorderTest::LogLines() const
{
    std::istringstream text(testsupport::ReadAllBytes(m_folder / L"calls.log"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> RecorderTest::Calls(const char* function) const
{
    std::vector<std::string> calls;
    const std::string prefix = std::string(function) + " ";
    for (const std::string& line : LogLines()) {
        if (line.compare(0, prefix.size(), prefix) == 0)
            calls.push_back(line);
    }
    return calls;
}

CString RecorderTest::MakeTone(const wchar_t* name, const char* format, double seconds, int frequency)
{
    const CString path = m_folder / name;
    std::ostringstream command;
    command << "sox -V1 -n " << format << " " << testsupport::ShellQuoted(path) << " synth " << seconds << " sine " << frequency;
    EXPECT_EQ(0, testsupport::RunHostCommand(command.str())) << command.str();
    EXPECT_GT(testsupport::FileSizeOf(path), 44) << command.str();
    return path;
}

CString RecorderTest::DiscFolder(int drive, int disc) const
{
    CString folder;
    folder.Format(L"%s\\discs\\Drive%d\\Disc%d", m_folder.Path().GetString(), drive, disc);
    return folder;
}

std::string RecorderTest::CheckDiscTrack(const CString& track, const CString& source) const
{
    const CString script = m_folder / L"check.py";
    testsupport::WriteAll(script, std::string(kCheckScript));
    std::string output;
    const int code = testsupport::RunHostCommand("python3 " + testsupport::ShellQuoted(script) + " " +
                                                     testsupport::ShellQuoted(track) + " " + testsupport::ShellQuoted(source),
                                                 &output);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    if (code != 0)
        return "the check failed to run (" + std::to_string(code) + "): " + output;
    return output == "ok" ? std::string() : output;
}

void STARBURN_CALL RecorderTest::OnEvent(ULONG reason, void* context, void* value1, void* value2)
{
    auto* test = static_cast<RecorderTest*>(context);
    test->m_events.push_back(
        {reason, value1 ? *static_cast<ULONG*>(value1) : 0, value2 ? *static_cast<ULONG*>(value2) : 0});
}

}  // namespace burntest
