// The arithmetic of the Progress page: each chosen part weighs its size in KB (at least 1.0),
// and every report of a worker (percent of a part, bytes of a Zune chunk, percent of an iTunes
// step) moves one position in those units. The position never runs backwards except while a
// cancelled transfer winds down, and the bar it gives stays within 0..Range().
//
//     CTransferProgress progress;
//     progress.SetWeights({100.0, 300.0});
//     progress.OnPercent(0, 50, {0, 0});   // 50.0 more done; the bar stands at 51
//     progress.OnAmount(2048, true);       // a Zune chunk of 2048 bytes: 2.0 more
#pragma once

#include "afx.h"

#include <vector>

// A part's weight: its size / 1024, at least 1.0.
double PartWeight(ULONGLONG sizeBytes);
// The seconds of a duration text "m:ss" or "h:mm:ss", plus one; 0 without a ":" or when a
// field is not a number.
int PartDurationSeconds(const CString& text);
// The time a transfer took: "%M:%S" below an hour, else hours (all of them), minutes, seconds.
CString FormatElapsed(long long seconds);

class CTransferProgress {
public:
    // A new run: the weights of the chosen parts in order; everything else back to zero.
    void SetWeights(const std::vector<double>& weights);
    double TotalWeight() const { return m_total; }
    // The bars' upper end: the whole part of the total weight, plus one.
    int Range() const { return static_cast<int>(m_total) + 1; }
    double Done() const { return m_done; }
    // The bar's position for a done amount (offset added), within 0..Range().
    int BarPosition(double offset = 0.0) const;

    // A device-manager percent of part `index`; transferred[i] is nonzero for the parts before
    // it that have a result. A new index first sets the done amount to the weight of the parts
    // with a result. Adds and returns the increase (0 when the percent fell back or stayed).
    double OnPercent(int index, int percent, const std::vector<int>& finished);
    // A report of an iTunes step: percent 0 starts a new step (done back to 0); percent p puts
    // the step at p x 0.9 of the total. Returns the increase (for Advance), 0 when it fell back.
    double OnStepPercent(int percent);
    // A count of transferred bytes (Zune: bytes, converted to the weight unit) or units.
    static double AmountOf(unsigned amount, bool zune) { return zune ? amount / 1024.0 : static_cast<double>(amount); }
    // Adds an increase; while cancelling the done amount runs back instead, at the rate that
    // brings it to 0 over the work that was still to do when the cancel began. Returns TRUE on
    // the first step of a cancel.
    BOOL Advance(double increase, bool cancelling);
    double CancelRatio() const { return m_cancelRatio; }

private:
    std::vector<double> m_weights;
    double m_total = 0.0;
    double m_done = 0.0;
    double m_partPos = 0.0;
    double m_cancelRatio = 0.0;
    bool m_cancelStarted = false;
    int m_index = -1;
    int m_partPercent = 0;
};
