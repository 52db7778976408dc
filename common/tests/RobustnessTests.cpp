// Damaged input: every mutated order file must end in TRUE or FALSE with a message,
// every mutated archive in a loaded title or the archive exception. Never a crash.
#include "TitleTestSupport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

TEST(RobustnessTest, MutatedOrderFilesNeverCrash)
{
    BuildEntityTable();
    testsupport::MessageBoxRecorder boxes;  // the video refusal may be provoked
    const CString original = titletest::ReadUtf8File(testsupport::SourcePath(L"common/tests/data/sample.vpm"));
    std::mt19937 random(20261210);
    const wchar_t pieces[] = L"<>/\"=&;# \t\r\nx";
    int accepted = 0, refused = 0;
    for (int round = 0; round < 3000; ++round) {
        CString text = original;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !text.IsEmpty(); ++e) {
            const int at = static_cast<int>(random() % static_cast<unsigned>(text.GetLength()));
            switch (random() % 4) {
            case 0: text.SetAt(at, pieces[random() % (sizeof(pieces) / sizeof(wchar_t) - 1)]); break;
            case 1: text.Delete(at, 1 + static_cast<int>(random() % 40)); break;
            case 2: text.Insert(at, pieces[random() % (sizeof(pieces) / sizeof(wchar_t) - 1)]); break;
            default: text.Truncate(at); break;
            }
        }
        CMediaObject title;
        CString error;
        const size_t boxesBefore = boxes.Boxes().size();
        if (titletest::ParseOrderText(text, title, error)) {
            ++accepted;
            EXPECT_EQ(boxes.Boxes().size(), boxesBefore) << "round " << round << ": accepted, yet a box was shown";
        } else {
            ++refused;
            // A refusal says why: an error text, or the one box of the video refusal.
            const size_t shown = boxes.Boxes().size() - boxesBefore;
            EXPECT_TRUE(error.IsEmpty() ? shown == 1 : shown == 0)
                << "round " << round << ": refused with error \"" << error.ToNarrow(CP_UTF8) << "\" and " << shown
                << " boxes";
        }
        DecodeXmlText(text);
    }
    // Some damage (in texts) still leaves a valid file; most does not.
    EXPECT_GT(accepted, 0);
    EXPECT_GT(refused, 0);
}

TEST(RobustnessTest, MutatedArchivesEndInTheArchiveException)
{
    BuildEntityTable();
    CMediaObject title;
    CString error;
    ASSERT_TRUE(titletest::ParseOrderText(
        titletest::ReadUtf8File(testsupport::SourcePath(L"common/tests/data/sample.vpm")), title, error));
    const std::vector<BYTE> original = titletest::StoreObject(title);
    std::mt19937 random(4711);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 5000; ++round) {
        std::vector<BYTE> bytes = original;
        const int edits = 1 + static_cast<int>(random() % 3);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const size_t at = random() % bytes.size();
            switch (random() % 4) {
            case 0: bytes[at] ^= static_cast<BYTE>(1u << (random() % 8)); break;
            case 1: bytes[at] = static_cast<BYTE>(random() % 2 ? 0xFF : random()); break;
            case 2: bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), static_cast<BYTE>(random())); break;
            default: bytes.resize(at); break;
            }
        }
        CMemFile file(bytes.data(), bytes.size());
        CArchive ar(&file, CArchive::load);
        try {
            delete ar.ReadObject(RUNTIME_CLASS(CMediaObject));
            ++loaded;
        } catch (const CArchiveException&) {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);
}
