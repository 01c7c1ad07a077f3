// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/pointsfile.h"

#include "platform/ansi.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

void appendU16(QByteArray& out, std::uint16_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void appendDouble(QByteArray& out, double d) {
    auto bits = std::bit_cast<std::uint64_t>(d);
    char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    out.append(bytes, 8);
}

// Reads fields one after the other from a byte range; a read past the end
// sets failed and yields nothing.
class FieldReader {
public:
    FieldReader(const char* data, std::size_t size)
        : p_(reinterpret_cast<const unsigned char*>(data)), left_(size) {}

    bool failed() const { return failed_; }
    std::size_t used(std::size_t size) const { return size - left_; }

    QString text() {
        if (failed_ || left_ < 2)
            return fail();
        std::size_t n = p_[0] | (std::size_t(p_[1]) << 8);
        if (left_ - 2 < n)
            return fail();
        QString s = FromAnsi(QByteArray::fromRawData(reinterpret_cast<const char*>(p_ + 2), qsizetype(n)));
        p_ += 2 + n;
        left_ -= 2 + n;
        return s;
    }

    double number() {
        if (failed_ || left_ < 8) {
            failed_ = true;
            return 0.0;
        }
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i)
            bits |= std::uint64_t(p_[i]) << (8 * i);
        p_ += 8;
        left_ -= 8;
        return std::bit_cast<double>(bits);
    }

private:
    QString fail() {
        failed_ = true;
        return QString();
    }

    const unsigned char* p_;
    std::size_t left_;
    bool failed_ = false;
};

} // namespace

bool AppendRecord(QByteArray& out, const PointsRecord& record, PointsField* tooLong,
                  unsigned* changedFields) {
    int unmapped[4] = {};
    const QByteArray name = ToAnsi(record.name, &unmapped[0]);
    const QByteArray elevation = ToAnsi(record.elevation, &unmapped[1]);
    const QByteArray message = ToAnsi(record.message, &unmapped[2]);
    const QByteArray icon = ToAnsi(record.icon, &unmapped[3]);
    const std::pair<const QByteArray*, PointsField> texts[] = {
        {&name, fieldName}, {&elevation, fieldElevation}, {&message, fieldMessage}, {&icon, fieldIcon}};
    for (const auto& [bytes, field] : texts)
        if (bytes->size() > kMaxTextFieldBytes) {
            if (tooLong)
                *tooLong = field;
            return false;
        }
    if (changedFields) {
        *changedFields = 0;
        for (int i = 0; i < 4; ++i)
            if (unmapped[i] > 0)
                *changedFields |= 1u << texts[i].second;
    }

    out.reserve(out.size() + 2 * 4 + 16 + name.size() + elevation.size() + message.size() + icon.size());
    appendU16(out, std::uint16_t(name.size()));
    out.append(name);
    appendDouble(out, record.latitude);
    appendDouble(out, record.longitude);
    for (const QByteArray* t : {&elevation, &message, &icon}) {
        appendU16(out, std::uint16_t(t->size()));
        out.append(*t);
    }
    return true;
}

std::size_t DecodeRecord(const char* data, std::size_t size, PointsRecord& out) {
    FieldReader in(data, size);
    out.name = in.text();
    out.latitude = in.number();
    out.longitude = in.number();
    out.elevation = in.text();
    out.message = in.text();
    out.icon = in.text();
    return in.failed() ? 0 : in.used(size);
}
