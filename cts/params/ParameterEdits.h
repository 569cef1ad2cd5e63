#pragma once
// The numeric parameter edits of the test pages and their up-downs: ranges,
// steps, start values, and the normalisation applied when an edit is left
// (and, before "Run Tests" builds the parameter block, to every edit, so the
// block holds what the window shows).
#include <QString>
#include <cstdint>

struct UpDownRange {
    int32_t min;
    int32_t max;
    int32_t step;
    int32_t start;
};

class ParameterEdits {
public:
    enum Edit {
        kAfterHpdLow,             // ED_AfterHPDLow(2) / UD_HPDLo(2): TA reset delay, ms
        kAfterHpdHigh,            // ED_AfterHPDHi(2) / UD_HPDHi(2): TA request delay, ms
        kMainLinkDisableTimeout,  // ED_Tout(2) / UD_Tout(2): ms
    };

    static constexpr UpDownRange kAfterHpdLowRange{5, 20000, 1, 700};
    static constexpr UpDownRange kAfterHpdHighRange{0, 20000, 10, 0};
    static constexpr UpDownRange kMainLinkDisableTimeoutRange{100, 20000, 100, 2000};
    static constexpr UpDownRange kIterationCountRange{1, 32000, 1, 1};  // UD_IterationCount

    static const UpDownRange& Range(Edit edit);

    // An edit's text as a decimal integer: leading blanks skipped, an
    // optional sign, then the digits up to the first other character; no
    // digits give 0. Values beyond 32 bits saturate.
    static int32_t ReadInteger(const QString& text);
    // The value an edit holds after it is left:
    //   kAfterHpdLow: kept in 5..20000;
    //   kAfterHpdHigh: ((v + 5) / 10) x 10, truncating, kept in 0..20000;
    //   kMainLinkDisableTimeout: ((v + 50) / 100) x 100, truncating, kept in 100..20000.
    static int32_t Normalise(Edit edit, int32_t value);
    // Normalise(ReadInteger(text)); the edit and its mirror then show it in decimal.
    static int32_t NormaliseText(Edit edit, const QString& text) { return Normalise(edit, ReadInteger(text)); }
};
