// What the views show: the titles a tree node selects and their order by each column, and
// the groups of the tree (creators by listed role, subjects, languages).
#include "LibraryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace librarytest;
using testsupport::ScratchFolder;

namespace {

struct CreatorSpec {
    const wchar_t* name;
    const wchar_t* fileAs;
    const wchar_t* role;
};

struct TitleSpec {
    const wchar_t* id;
    const wchar_t* sortTitle;
    std::vector<CreatorSpec> creators;
    const wchar_t* subject;
    const wchar_t* language;
    const wchar_t* sourceId;
    const wchar_t* publisher;
    COleDateTime acquired;
    COleDateTime lastPlayed;
    const wchar_t* duration;
};

CMediaObject* Build(const TitleSpec& spec)
{
    auto* title = new CMediaObject;
    title->SetMediaId(spec.id);
    title->SetSourceId(spec.sourceId);
    if (spec.acquired.GetStatus() == COleDateTime::valid)
        title->SetAcquiredDate(spec.acquired);
    else
        title->m_acquiredDate.SetStatus(COleDateTime::invalid);
    title->SetLastPlayedDate(spec.lastPlayed);
    CMetadataObject& m = title->GetMetadata();
    if (spec.sortTitle) {
        m.SetTitle(spec.sortTitle);
        m.SetSortTitle(spec.sortTitle);
        m.SetPublisher(spec.publisher);
    }
    for (const CreatorSpec& c : spec.creators) {
        auto* creator = new CCreatorObject;
        creator->SetName(c.name);
        creator->SetFileAs(c.fileAs);
        creator->SetRole(c.role);
        m.AddCreator(creator);
    }
    if (spec.subject) {
        auto* subject = new CSubjectObject;
        subject->m_subject = spec.subject;
        m.AddSubject(subject);
    }
    if (spec.language) {
        auto* language = new CLanguageObject;
        language->m_name = spec.language;
        m.AddLanguage(language);
    }
    if (spec.duration) {
        auto* part = new CPartObject;
        part->m_number = 1;
        part->SetDuration(spec.duration);
        title->AddPart(part);
    }
    return title;
}

class TitleList : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_library.AddSource(MakeSource(L"s1", L"First Source"));
        m_library.AddSource(MakeSource(L"S2", L"Second Source"));
        m_library.AddSource(MakeSource(L"s3", L"Third Source"));
        COleDateTime none;
        none.SetStatus(COleDateTime::null);
        COleDateTime invalid;
        invalid.SetStatus(COleDateTime::invalid);
        const TitleSpec titles[] = {
            {L"a", L"Alpha", {{L"Ann Ames", L"Ames, Ann", L"Author"}, {L"Ned North", L"North, Ned", L"Narrator"}},
             L"Fiction", L"English", L"s1", L"Pub B", COleDateTime(2024, 1, 2, 0, 0, 0), COleDateTime(2024, 3, 3, 0, 0, 0),
             L"1:00:00"},
            // The unlisted creator (empty role) never counts as Creator 1 and is no group.
            {L"b", L"beta", {{L"Zed Zero", L"Zero, Zed", L""}, {L"ann ames", L"Ames2", L"Author"}}, L"fiction", L"French",
             L"s2", L"pub a", invalid, COleDateTime(2020, 1, 1, 0, 0, 0), L"59:59"},
            {L"c", L"Gamma", {{L"Cy Cole", L"Cole, Cy", L"Narrator"}, {L"Bo Bell", L"Bell, Bo", L"Author"}}, L"History",
             L"English", L"S3", L"Pub C", COleDateTime(2023, 5, 5, 0, 0, 0), none, L"30:00"},
            // No metadata: never listed.
            {L"d", nullptr, {}, nullptr, nullptr, L"s1", nullptr, COleDateTime(2022, 1, 1, 0, 0, 0), none, nullptr},
        };
        for (const TitleSpec& spec : titles)
            m_library.AddTitleToLibrary(Build(spec));
        m_library.AddCollection(MakeCollection(L"Jazz", {L"A"}));
        m_library.AddCollection(MakeCollection(L"jazz", {L"c"}));
    }

    std::string List(int kind, const wchar_t* text, int column = kColumnTitle, BOOL ascending = TRUE) const
    {
        CObArray titles;
        m_library.BuildTitleList(titles, kind, text, column, ascending);
        std::string ids;
        for (CObject* object : titles)
            ids += static_cast<CMediaObject*>(object)->m_mediaId.ToNarrow();
        return ids;
    }

    ScratchFolder m_scratch;
    TestLibrary m_library{m_scratch.Path()};
};

TEST_F(TitleList, SelectsByNodeKindAndSortsByEachColumn)
{
    const struct {
        int kind;
        const wchar_t* text;
        int column;
        BOOL ascending;
        const char* expected;
    } cases[] = {
        // Filters (sorted by title, case-insensitive).
        {kNodeAllTitles, L"", kColumnTitle, TRUE, "abc"},
        {kNodeAllTitles, L"", kColumnTitle, FALSE, "cba"},
        {kNodeRoot, L"", kColumnTitle, TRUE, ""},
        {kNodeCollections, L"Jazz", kColumnTitle, TRUE, ""},
        {kNodeCreators, L"Ann Ames", kColumnTitle, TRUE, ""},
        {kNodeCollection, L"Jazz", kColumnTitle, TRUE, "a"},  // member ids any case
        {kNodeCollection, L"jazz", kColumnTitle, TRUE, "c"},  // names exact
        {kNodeCollection, L"JAZZ", kColumnTitle, TRUE, ""},
        {kNodeCreator, L"ANN AMES", kColumnTitle, TRUE, "ab"},
        {kNodeCreator, L"Zed Zero", kColumnTitle, TRUE, "b"},  // any role filters
        {kNodeSubject, L"FICTION", kColumnTitle, TRUE, "ab"},
        {kNodeLanguage, L"english", kColumnTitle, TRUE, "ac"},
        {kNodeSource, L"First Source", kColumnTitle, TRUE, "a"},
        {kNodeSource, L"first source", kColumnTitle, TRUE, ""},  // display names exact
        {kNodeSource, L"Second Source", kColumnTitle, TRUE, "b"},  // source ids any case
        {64, L"", kColumnTitle, TRUE, ""},
        // Sorts.
        {kNodeAllTitles, L"", kColumnCreator1, TRUE, "abc"},   // "Ames, Ann" < "Ames2" < "Cole, Cy"
        {kNodeAllTitles, L"", kColumnCreator2, TRUE, "bca"},   // b has no listed creator but authors
        {kNodeAllTitles, L"", kColumnPublisher, TRUE, "bac"},
        {kNodeAllTitles, L"", kColumnSource, FALSE, "cba"},
        {kNodeAllTitles, L"", kColumnAcquired, TRUE, "cab"},   // no valid date: last
        {kNodeAllTitles, L"", kColumnAcquired, FALSE, "bac"},  // ... and first descending
        {kNodeAllTitles, L"", kColumnLastPlayed, TRUE, "bac"},
        {kNodeAllTitles, L"", kColumnDuration, TRUE, "cba"},   // whole seconds: 30:00 < 59:59 < 1:00:00
        {kNodeAllTitles, L"", kColumnDuration, FALSE, "abc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(List(c.kind, c.text, c.column, c.ascending), c.expected)
            << "kind " << c.kind << " text " << CString(c.text).ToNarrow() << " column " << c.column;
}

// The creator columns sort by the creator they show: Creator 1 the first author, Creator 2
// the first listed creator of another role, wherever they stand in the title's list.
TEST(TitleListCreators, EachCreatorColumnSortsByTheCreatorItShows)
{
    ScratchFolder scratch;
    TestLibrary library(scratch.Path());
    const COleDateTime when(2024, 1, 1, 0, 0, 0);
    const TitleSpec titles[] = {
        {L"x", L"X", {{L"Al Aaron", L"Aaron, Al", L"Narrator"}, {L"Zoe Zed", L"Zed, Zoe", L"Author"}}, nullptr, nullptr,
         L"s", nullptr, when, when, nullptr},
        {L"y", L"Y", {{L"Mo Mid", L"Mid, Mo", L"Author"}, {L"Bo Best", L"Best, Bo", L"Author"}, {L"Vi Vale", L"Vale, Vi", L"Translator"}},
         nullptr, nullptr, L"s", nullptr, when, when, nullptr},
        {L"z", L"Z", {{L"Ed Eve", L"Eve, Ed", L"Author"}, {L"Cy Cole", L"Cole, Cy", L"Narrator"}}, nullptr, nullptr, L"s",
         nullptr, when, when, nullptr},
    };
    for (const TitleSpec& spec : titles)
        library.AddTitleToLibrary(Build(spec));
    const struct {
        int column;
        BOOL ascending;
        const char* expected;
    } cases[] = {
        {kColumnCreator1, TRUE, "zyx"},   // Eve < Mid < Zed (not Aaron, the narrator listed first)
        {kColumnCreator1, FALSE, "xyz"},
        {kColumnCreator2, TRUE, "xzy"},   // Aaron < Cole < Vale (not Best, y's second author)
    };
    for (const auto& c : cases) {
        CObArray sorted;
        library.BuildTitleList(sorted, kNodeAllTitles, L"", c.column, c.ascending);
        std::string ids;
        for (CObject* object : sorted)
            ids += static_cast<CMediaObject*>(object)->m_mediaId.ToNarrow();
        EXPECT_EQ(ids, c.expected) << "column " << c.column << " ascending " << c.ascending;
    }
}

TEST_F(TitleList, GroupsListedCreatorsSubjectsAndLanguagesOncePerName)
{
    auto names = [](const CObArray& records, auto text) {
        std::string joined;
        for (CObject* object : records)
            joined += (joined.empty() ? "" : "|") + text(object).ToNarrow();
        return joined;
    };
    CObArray creators;
    m_library.CollectCreators(creators);
    // By file-as; "ann ames" joins the first "Ann Ames"; the creator without a role is left out.
    EXPECT_EQ(names(creators, [](CObject* o) { return static_cast<CCreatorObject*>(o)->m_displayName; }),
              "Ann Ames|Bo Bell|Cy Cole|Ned North");
    CObArray subjects;
    m_library.CollectSubjects(subjects);
    EXPECT_EQ(names(subjects, [](CObject* o) { return static_cast<CSubjectObject*>(o)->m_subject; }), "Fiction|History");
    CObArray languages;
    m_library.CollectLanguages(languages);
    EXPECT_EQ(names(languages, [](CObject* o) { return static_cast<CLanguageObject*>(o)->m_name; }), "English|French");
}

}  // namespace
