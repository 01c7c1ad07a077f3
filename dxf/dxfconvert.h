// SPDX-License-Identifier: GPL-3.0-or-later
// Entities moved between drawings of different DXF versions. R12 (AC1009) and
// older entities are flat lists of tags; from R13 (AC1012) on, each entity
// carries an owner (330) and subclass markers (100) splitting its tags. A block
// drawing's entities are made fit for the drawing they are copied into:
// pointers to copied objects name the copies, pointers to objects that are not
// copied are dropped, markers are added or
// removed, and an entity the target version lacks is converted where the look
// is kept exactly (LWPOLYLINE becomes POLYLINE with bulges); anything else is
// refused with a DxfError naming the block drawing and the entity type.
#pragma once
#include "dxf/dxfdocument.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace DxfConvert {

// True for the versions with owners and subclass markers (AC1012 and later).
bool isModern(const QByteArray& version);
// True from AC1021 on, where text is UTF-8.
bool isUtf8(const QByteArray& version);

// Group codes whose values are handles of other objects: 320-369 (arbitrary
// handles, soft and hard pointers and owners), 390-399 (plot styles and other
// hard pointers), 480-481, and 1005 (a handle in extended data).
bool isReference(int code);

// What a copied handle reference becomes: the handle of the copy of the object
// it names, or nothing when that object is not copied.
using HandleMap = std::function<std::optional<QByteArray>(const QByteArray&)>;

// Gives every handle reference of o the value map gives for it; the null
// handle "0" stays as it is, and o's own handle (5) is no reference. A
// reference map gives nothing for is dropped: a pointer tag alone, a reactor
// alone (its 102 group too when none is left), any other 102 group whole, and
// an extended-data group (from its 1001 to the next) whole, because its other
// values describe the objects it names.
void remapReferences(DxfObject& o, const HandleMap& map);

// A table name (layer, line type, text style, block) every reader accepts:
// control characters and < > / \ " : ; ? * | = ` become "_", blanks around
// are trimmed. May be empty.
QString validName(const QString& name);

// Makes the names of layers, line types and text styles in a block drawing
// valid (validName), in its tables and in the entities of its ENTITIES and
// BLOCKS sections alike; an entity without a usable layer name goes on "0".
void makeNamesValid(DxfDocument& source);

// Text values (codes 1-9 and 1000) re-encoded from the source drawing's
// encoding to the target's; identity when both encodings agree.
using Recode = std::function<QByteArray(const QByteArray&)>;

// The model space entities of a block drawing (in file order, sequences such
// as POLYLINE VERTEX SEQEND kept together) made fit for the target version
// ($ACADVER of the drawing they go into). Entities of R12 and older drawings
// are brought into the form readers need: each point's coordinates as one group
// (x, y, z in that order) and the old 3DLINE as a LINE; a coordinate without its
// partner is refused. Each entity keeps its handle (5) for the caller, which
// gives it a new one and maps references with remapReferences; a HATCH loses
// its boundary associativity.
std::vector<DxfObject> adapt(const std::vector<DxfObject>& entities, bool fromModern,
                             const QByteArray& toVersion, const Recode& recode, const QString& path);

// The Qt codec name for a $DWGCODEPAGE value: "ANSI_1251" -> "windows-1251",
// "ANSI_932" -> "Shift_JIS", "DOS850" -> "IBM850", "ISO8859-2" -> "ISO-8859-2";
// "windows-1252" for anything else (the default code page). The engine and the
// renderer both read text through it, so a drawing's text reads alike in both.
QByteArray codecName(const QByteArray& codepage);

// Text as a drawing of that version and $DWGCODEPAGE holds it: UTF-8 from
// AC1021 on; before, the code page with \U+XXXX for characters outside it.
QByteArray encodeText(const QString& text, const QByteArray& version, const QByteArray& codepage);
QString decodeText(const QByteArray& bytes, const QByteArray& version, const QByteArray& codepage);

// Puts the handle, and for modern drawings the owner, right after the type tag.
void setHandle(DxfObject& o, const QByteArray& handle, const QByteArray* owner);

} // namespace DxfConvert
