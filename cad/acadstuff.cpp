// SPDX-License-Identifier: GPL-3.0-or-later
#include "cad/acadstuff.h"

#include "platform/mousestate.h"

namespace {

// A user who keeps clicking keeps the call going; this bounds a poll that
// always answers "clicked" (the classic loop had no bound).
constexpr int kMaxRejectedRepeats = 1000;

template <typename P> P& need(const std::shared_ptr<P>& p) {
    if (!p)
        throw AcadError(acadErrFailed, QStringLiteral("The CAD application returned no object."));
    return *p;
}

} // namespace

ACADStuff::ACADStuff(AcadAutomation* automation, std::function<short()> leftButton)
    : automation_(automation), leftButton_(std::move(leftButton)) {
    if (!leftButton_) {
        // Installed now so that clicks between here and the first poll are seen.
        ApplicationMouseState();
        leftButton_ = [] { return GetAsyncKeyState(VK_LBUTTON); };
    }
}

AcadAutomation& ACADStuff::automation() {
    return automation_ ? *automation_ : CurrentAcadAutomation();
}

bool ACADStuff::IsAcadRunning() {
    bool running = false;
    try {
        AcadApp = automation().GetObject();
        running = AcadApp != nullptr;
    } catch (const AcadError&) {
        running = false;
    }
    AcadApp.reset();
    return running;
}

AcadConnection ACADStuff::ConnectAcad() {
    try {
        if (IsAcadRunning())
            AcadApp = automation().GetObject();
        else
            AcadApp = automation().CreateObject();
        need(AcadApp).setVisible(true);
        AcadDoc = need(AcadApp).ActiveDocument();
        need(AcadDoc);
        return {true, QString()};
    } catch (const AcadError& e) {
        return {false, e.description()};
    } catch (const std::exception& e) {
        return {false, QString::fromLocal8Bit(e.what())};
    }
}

bool ACADStuff::connectForOperation() {
    AcadConnection connection = ConnectAcad();
    if (!connection)
        lastFailure_ = std::move(connection.problem);
    return connection.ok;
}

ACADStuff::Ending ACADStuff::run(const std::function<void()>& step, const std::function<void()>& addLayer) {
    bool layerAdded = false;
    int rejected = 0;
    auto failed = [this](const QString& why) {
        lastFailure_ = why;
        return Ending::Failed;
    };
    for (;;) {
        try {
            step();
            return Ending::None;
        } catch (const AcadError& e) {
            switch (e.number()) {
            case acadErrKeyNotFound:
                if (!addLayer || layerAdded)
                    return failed(e.description());
                try {
                    addLayer();
                } catch (const AcadError& added) {
                    return failed(added.description());
                } catch (const std::exception& added) {
                    return failed(QString::fromLocal8Bit(added.what()));
                }
                layerAdded = true;
                continue;
            case acadErrCallRejected:
                if (leftButton_() > 0 && ++rejected <= kMaxRejectedRepeats)
                    continue;
                return failed(e.description());
            case acadErrQuiet:
                return Ending::Quiet;
            default:
                return failed(e.description());
            }
        } catch (const std::exception& e) {
            return failed(QString::fromLocal8Bit(e.what()));
        }
    }
}

QString ACADStuff::InsertPointBlock(const QVariantList& point, const QString& blockPath,
                                    const QString& layer) {
    lastFailure_.clear();
    if (!connectForOperation())
        return QString();
    std::array<double, 3> at{};
    std::shared_ptr<AcadBlockReference> ref;
    QString handle;
    auto addLayer = [&] { need(need(AcadDoc).Layers()).Add(layer); };
    const std::vector<std::function<void()>> steps = {
        [&] {
            for (int i = 0; i < 3; ++i) {
                bool ok = false;
                at[i] = i < point.size() ? point[i].toDouble(&ok) : 0;
                if (!ok)
                    throw AcadError(acadErrInvalidArgument, QStringLiteral("Type mismatch"));
            }
        },
        [&] { ref = need(need(AcadDoc).ModelSpace()).InsertBlock(at, blockPath, 1.0, 1.0, 1.0, 0.0); },
        [&] { need(ref).setLayer(layer); },
        [&] { need(AcadApp).ZoomExtents(); },
        [&] { need(AcadApp).Update(); },
        [&] { handle = need(ref).Handle(); },
    };
    for (const auto& step : steps)
        if (run(step, addLayer) != Ending::None)
            break;
    ref.reset();
    return handle;
}

bool ACADStuff::SetBlockAttribute(const QString& handle, const QString& tag, const QString& text) {
    lastFailure_.clear();
    bool result = false;
    if (!connectForOperation())
        return false;
    std::shared_ptr<AcadBlockReference> ref;
    std::vector<std::shared_ptr<AcadAttributeReference>> attributes;
    bool hasAttributes = false;
    const std::vector<std::function<void()>> steps = {
        [&] { ref = need(AcadDoc).HandleToObject(handle); },
        [&] { hasAttributes = need(ref).HasAttributes(); },
        [&] {
            if (hasAttributes)
                attributes = need(ref).GetAttributes();
        },
        [&] {
            for (const auto& attribute : attributes) {
                if (need(attribute).TagString() != tag)
                    continue;
                if (!text.isEmpty()) {
                    attribute->setTextString(text);
                    result = true;
                }
                break; // only the first attribute with the tag is ever changed
            }
        },
        [&] {
            attributes.clear();
            ref.reset();
            need(AcadApp).ZoomExtents();
        },
        [&] { need(AcadApp).Update(); },
    };
    for (const auto& step : steps) {
        Ending ending = run(step);
        if (ending == Ending::Quiet)
            return result;
        if (ending == Ending::Failed)
            return false;
    }
    return true;
}

bool ACADStuff::InsertLabelledBlock(const std::array<double, 3>& point, const QString& blockPath,
                                    const QString& layer, const QString& tag, const QString& text,
                                    const DxfExtendedData& data) {
    lastFailure_.clear();
    if (!AcadDoc) {
        lastFailure_ = QStringLiteral("The drawing is not connected.");
        return false;
    }
    std::shared_ptr<AcadBlockReference> ref;
    auto addLayer = [&] { need(need(AcadDoc).Layers()).Add(layer); };
    const std::vector<std::function<void()>> steps = {
        [&] { ref = need(need(AcadDoc).ModelSpace()).InsertBlock(point, blockPath, 1.0, 1.0, 1.0, 0.0); },
        [&] { need(ref).setLayer(layer); },
    };
    for (const auto& step : steps)
        if (run(step, addLayer) != Ending::None)
            return false;
    const QString kept = lastFailure_;
    if (!data.empty())
        run([&] { need(ref).SetXData(data); });
    if (text.isEmpty()) {
        lastFailure_ = kept;
        return true;
    }
    run([&] {
        if (!need(ref).HasAttributes())
            return;
        for (const auto& attribute : ref->GetAttributes()) {
            if (need(attribute).TagString() == tag) {
                attribute->setTextString(text);
                break; // only the first attribute with the tag is ever changed
            }
        }
    });
    lastFailure_ = kept; // the block is in; a label that could not be written is not its failure
    return true;
}

QString ACADStuff::Commit(bool changed) {
    if (changed && AcadApp) {
        // A view that cannot be refreshed leaves the changes as they are.
        run([&] { need(AcadApp).ZoomExtents(); });
        run([&] { need(AcadApp).Update(); });
        lastFailure_.clear();
    }
    return SaveDrawing();
}

bool ACADStuff::AddPolyline3D(const std::vector<double>& points,
                              const std::vector<DxfExtendedData>& vertexData) {
    lastFailure_.clear();
    if (!connectForOperation())
        return false; // no line was drawn
    try {
        if (vertexData.empty())
            need(need(AcadDoc).ModelSpace()).Add3DPoly(points);
        else
            need(need(AcadDoc).ModelSpace()).Add3DPolyWithData(points, vertexData);
        need(AcadApp).ZoomExtents();
        need(AcadApp).Update();
    } catch (const AcadError& e) {
        lastFailure_ = e.description();
        return false;
    } catch (const std::exception& e) {
        lastFailure_ = QString::fromLocal8Bit(e.what());
        return false;
    }
    return true;
}

QString ACADStuff::SaveDrawing() {
    if (!AcadDoc)
        return QString();
    try {
        AcadDoc->Save();
    } catch (const AcadError& e) {
        return e.description();
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    }
    return QString();
}
