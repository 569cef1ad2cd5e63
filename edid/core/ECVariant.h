#pragma once
// ECVariant: one field value in three views kept in step (integer, float,
// text). Every value that travels between the editor, the entry tree and a
// codec is one ECVariant; it is copied by value.

#include <QString>

#include <cstdint>

struct ECVariant {
    int32_t Integer = 0;
    double Float = 0.0;
    QString Text;

    // Each setter sets all three views.
    void SetInt(int32_t n);          // n, n, decimal text
    void SetUnsigned(uint32_t n);    // bit pattern, unsigned value, "%u"
    void SetDouble(double x);        // truncated toward zero, x, "%g"
    void SetText(const QString& s);  // C decimal conversion, C float conversion, s
    void SetBool(int32_t b);         // 1 only when b is exactly 1; "1" or "0"
    void SetIndex(int32_t n);        // n, 0, empty text (list lookup by index)
    bool IsTrue() const { return Integer == 1; }

    // Convenience constructors for Get closures.
    static ECVariant OfInt(int32_t n) {
        ECVariant v;
        v.SetInt(n);
        return v;
    }
    static ECVariant OfUnsigned(uint32_t n) {
        ECVariant v;
        v.SetUnsigned(n);
        return v;
    }
    static ECVariant OfDouble(double x) {
        ECVariant v;
        v.SetDouble(x);
        return v;
    }
    static ECVariant OfText(const QString& s) {
        ECVariant v;
        v.SetText(s);
        return v;
    }
    static ECVariant OfText(const char* s);  // Latin-1 8-bit text
    static ECVariant OfBool(int32_t b) {
        ECVariant v;
        v.SetBool(b);
        return v;
    }
    static ECVariant OfIndex(int32_t n) {
        ECVariant v;
        v.SetIndex(n);
        return v;
    }

    // Equal when the Integers are equal, the Floats compare equal and the Texts
    // are equal (case-sensitive).
    bool operator==(const ECVariant& other) const {
        return Integer == other.Integer && Float == other.Float && Text == other.Text;
    }
    bool operator!=(const ECVariant& other) const { return !(*this == other); }
};
