// CSortListCtrl: a report list with rows in alternating colours that sorts by a click on a
// column header (again: the other way round) and sizes a column to its contents when its
// header is double-clicked. A column whose cells are all numbers, sums, percentages or
// durations sorts by value, any other by text ignoring case; rows that compare equal keep
// their order, and each row keeps its item data through a sort. Its accessible name reads
// the selected row aloud, durations spoken as hours, minutes and seconds.
//     m_tracks.SubclassDlgItem(IDC_TRACKS, this);
//     m_tracks.InsertColumn(0, L"Name", LVCFMT_LEFT, 150);
//     m_tracks.Sort(1, true);   // as a click on the second header does
#pragma once

#include "ListCtrl.h"

#include <vector>

// The header of a sortable list: a double-click on a header item or its divider sizes that
// column to fit its texts and its title.
class CSortHeaderCtrl : public CHeaderCtrl {
    DECLARE_DYNAMIC(CSortHeaderCtrl)
protected:
    void OnLButtonDblClk(UINT flags, CPoint point) override;
};

class CSortListCtrl : public CListCtrl {
    DECLARE_DYNAMIC(CSortListCtrl)
public:
    static constexpr COLORREF kEvenRowColour = RGB(255, 255, 255);
    static constexpr COLORREF kOddRowColour = RGB(237, 244, 254);
    // CellHitTest's answers besides a row.
    static constexpr int kNoCell = -1;
    static constexpr int kNotReportView = -4;

    // Sorts by the column: a second sort by the same column with toggle set turns the order
    // round; any other sort is ascending.
    void Sort(int column, bool toggle);
    int GetSortColumn() const { return m_sortColumn; }
    bool IsAscending() const { return m_ascending; }
    bool IsNumericSort() const { return m_numeric; }

    // The row and column whose cell holds the point (client coordinates), with the cell's
    // rectangle clipped to the client area; kNoCell over no cell, kNotReportView in other views.
    int CellHitTest(CPoint point, int* column = nullptr, CRect* cell = nullptr) const;
    // The column's header text (at most 127 characters).
    CString GetHeaderText(int column) const;
    // What the accessible name says: each column's title with the selected row's text,
    // durations spoken; "No Info" without a selection.
    CString DescribeSelectedRow() const;

    // The comparison rules, shared by every sortable list.
    // Whether every non-empty text (leading blanks aside) is made of "$.%,:-" and digits.
    static bool IsNumericColumn(const std::vector<CString>& cells);
    // The values a numeric cell stands for, compared in order: "$", "%" and "," are left out,
    // a leading "-" is a sign, a "-" further on separates fields (the year, month and day of
    // "2026-12-11"), and colon-separated parts are hours, minutes and seconds ("1:00:05" is
    // 3605). A cell without digits is 0.
    static std::vector<double> NumericFields(const CString& cell);
    // Below, equal to or above zero as a sorts before, with or after b.
    static int CompareCells(const CString& a, const CString& b, bool numeric, bool ascending);
    // "1:00:05" -> "1 hour 5 seconds"; empty for a text that is not digits with colons (a
    // plain number is a count, not a duration) or whose parts are all zero.
    static CString SpokenDuration(const CString& cell);

    HRESULT get_accName(VARIANT child, BSTR* name) override;

protected:
    void PreSubclassWindow() override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnEraseBkgnd(CDC* dc) override;

private:
    void BindHeader();
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw) const;

    CSortHeaderCtrl m_header;
    int m_sortColumn = -1;
    bool m_ascending = true;
    bool m_numeric = false;
};
