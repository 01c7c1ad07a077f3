// SPDX-License-Identifier: GPL-3.0-or-later
// Entities moved between drawings of different DXF versions. R12 (AC1009) and
// older entities are flat lists of tags; from R13 (AC1012) on, each entity
// carries an owner (330) and subclass markers (100) splitting its tags. A block
// drawing's entities are made fit for the drawing they are copied into:
// pointers to objects that are not copied are dropped, markers are added or
// removed, and an entity the target version lacks is converted where the look
// is kept exactly (LWPOLYLINE becomes POLYLINE with bulges); anything else is
// refused with a DxfError naming the block drawing and the entity type.
#pragma once
#include "dxf/dxfdocument.h"

#include <QString>

#include <functional>
#include <vector>

namespace DxfConvert {

// True for the versions with owners and subclass markers (AC1012 and later).
bool isModern(const QByteArray& version);
// True from AC1021 on, where text is UTF-8.
bool isUtf8(const QByteArray& version);

// Removes what points at objects of the source drawing: 102 groups (reactors,
// extension dictionaries), the handle (5), owner (330) and soft/hard pointers
// 340, 347, 348, 360, 390; a HATCH loses its boundary associativity.
void dropPointers(DxfObject& o);

// Text values (codes 1-9 and 1000) re-encoded from the source drawing's
// encoding to the target's; identity when both encodings agree.
using Recode = std::function<QByteArray(const QByteArray&)>;

// The model space entities of a block drawing (in file order, sequences such
// as POLYLINE VERTEX SEQEND kept together) made fit for the target version
// ($ACADVER of the drawing they go into).
// Handles and owners are removed; the caller assigns new ones.
std::vector<DxfObject> adapt(const std::vector<DxfObject>& entities, bool fromModern,
                             const QByteArray& toVersion, const Recode& recode, const QString& path);

// Text as a drawing of that version and $DWGCODEPAGE holds it: UTF-8 from
// AC1021 on; before, the code page with \U+XXXX for characters outside it.
QByteArray encodeText(const QString& text, const QByteArray& version, const QByteArray& codepage);
QString decodeText(const QByteArray& bytes, const QByteArray& version, const QByteArray& codepage);

// Puts the handle, and for modern drawings the owner, right after the type tag.
void setHandle(DxfObject& o, const QByteArray& handle, const QByteArray* owner);

} // namespace DxfConvert
