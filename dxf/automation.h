// SPDX-License-Identifier: GPL-3.0-or-later
// The CAD automation surface: the objects and members the connection adapter
// (ACADStuff) calls, as C++ interfaces. The built-in DXF drawing engine
// implements them (dxfengine.h); tests put fakes behind them.
//
// This header is the contract between the two folders: cad/ (the adapter and
// the insertion commands) includes dxf/, and nothing in dxf/ includes cad/.
//
// Object references are shared pointers: a caller holds one for the length of
// an operation and lets it go afterwards. Every member may throw AcadError.
#pragma once
#include "dxf/pointdata.h"

#include <QString>

#include <array>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

// Failure codes the adapter tells apart.
constexpr std::uint32_t acadErrKeyNotFound = 0x80200014;  // Layer set to a layer the drawing lacks
constexpr std::uint32_t acadErrCallRejected = 0x80020009; // general exception (application busy)
constexpr std::uint32_t acadErrQuiet = 0x80210020;        // the operation gives up quietly
// Other codes the engine raises (the adapter only ends the operation on them).
constexpr std::uint32_t acadErrUnavailable = 0x800401E3; // no running instance to attach to
constexpr std::uint32_t acadErrInvalidArgument = 0x80070057;
constexpr std::uint32_t acadErrFailed = 0x80004005;

// The one failure type of the automation surface: a 32-bit code and the
// description shown to the user where a failure is shown at all.
class AcadError : public std::exception {
public:
    AcadError(std::uint32_t number, QString description);
    std::uint32_t number() const { return number_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return what_.c_str(); }

private:
    std::uint32_t number_;
    QString description_;
    std::string what_;
};

class AcadAttributeReference {
public:
    virtual ~AcadAttributeReference() = default;
    virtual QString TagString() const = 0;
    virtual QString TextString() const = 0;
    virtual void setTextString(const QString& text) = 0;
};

class AcadBlockReference {
public:
    virtual ~AcadBlockReference() = default;
    virtual QString Layer() const = 0;
    // Throws acadErrKeyNotFound when the drawing has no layer of that name.
    virtual void setLayer(const QString& layer) = 0;
    // Hexadecimal handle text, unique in the drawing.
    virtual QString Handle() const = 0;
    virtual bool HasAttributes() const = 0;
    // The attribute references in drawing order (index 0 is the lower bound).
    virtual std::vector<std::shared_ptr<AcadAttributeReference>> GetAttributes() const = 0;
    // Attaches extended data of one registered application, replacing what
    // the reference held for it. An application that keeps none ignores it.
    virtual void SetXData(const DxfExtendedData& data) { (void)data; }
};

class AcadLayers {
public:
    virtual ~AcadLayers() = default;
    // Creates the layer (colour 7, CONTINUOUS) unless it exists already.
    virtual void Add(const QString& name) = 0;
};

class AcadModelSpace {
public:
    virtual ~AcadModelSpace() = default;
    // point: x, y, z in drawing units; name: full path of a block drawing file;
    // scales are factors; rotation is in radians, counter-clockwise.
    virtual std::shared_ptr<AcadBlockReference> InsertBlock(const std::array<double, 3>& point,
                                                            const QString& name, double xScale, double yScale,
                                                            double zScale, double rotation) = 0;
    // vertices: x1, y1, z1, x2, ... (at least two vertices, a multiple of three).
    virtual void Add3DPoly(const std::vector<double>& vertices) = 0;
    // The same with extended data on each vertex (vertexData: one entry per
    // vertex). An application that keeps none draws the plain polyline.
    virtual void Add3DPolyWithData(const std::vector<double>& vertices,
                                   const std::vector<DxfExtendedData>& vertexData) {
        (void)vertexData;
        Add3DPoly(vertices);
    }
};

class AcadDocument {
public:
    virtual ~AcadDocument() = default;
    virtual std::shared_ptr<AcadModelSpace> ModelSpace() = 0;
    virtual std::shared_ptr<AcadLayers> Layers() = 0;
    // The block reference with that handle; throws for an empty or unknown
    // handle, or one of an entity that is no block reference.
    virtual std::shared_ptr<AcadBlockReference> HandleToObject(const QString& handle) = 0;
    // Writes the document's changes now; throws with the reason when they
    // cannot be written (they stay in the document). An application that
    // saves by itself does nothing here.
    virtual void Save() {}
};

class AcadApplication {
public:
    virtual ~AcadApplication() = default;
    virtual bool Visible() const = 0;
    virtual void setVisible(bool visible) = 0;
    virtual std::shared_ptr<AcadDocument> ActiveDocument() = 0;
    virtual void ZoomExtents() = 0;
    virtual void Update() = 0;
};

// The class "AutoCAD.Application": attach to the running instance or start one.
class AcadAutomation {
public:
    virtual ~AcadAutomation() = default;
    // Throws (acadErrUnavailable) when no instance is running.
    virtual std::shared_ptr<AcadApplication> GetObject() = 0;
    virtual std::shared_ptr<AcadApplication> CreateObject() = 0;
};

// The automation the adapter uses: the process's built-in drawing engine unless
// another one is installed (not owned; nullptr restores the engine).
void SetAcadAutomation(AcadAutomation* automation);
AcadAutomation& CurrentAcadAutomation();
