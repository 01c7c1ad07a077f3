// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/promptowner.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace {

QPointer<QWidget>& promptParent() {
    static QPointer<QWidget> parent;
    return parent;
}

QPointer<QWidget>& promptOwner() {
    static QPointer<QWidget> owner;
    return owner;
}

bool usable(const QWidget* w) {
    return w && w->isVisible() && !w->isMinimized();
}

// The program's windows in the order they were last active, latest last. Kept
// from the first prompt parent on; a window that goes drops out by itself.
class ActivationHistory final : public QObject {
public:
    explicit ActivationHistory(QObject* parent) : QObject(parent) {
        connect(qApp, &QApplication::focusChanged, this, [this] { note(QApplication::activeWindow()); });
        // A window without a focus widget changes no focus widget when it is activated.
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (window && w->windowHandle() == window)
                    note(w);
        });
        note(QApplication::activeWindow());
    }
    void note(QWidget* window) {
        if (!window)
            return;
        windows_.removeAll(QPointer<QWidget>(window));
        windows_.erase(std::remove_if(windows_.begin(), windows_.end(),
                                      [](const QPointer<QWidget>& w) { return w.isNull(); }),
                       windows_.end());
        windows_.append(window);
    }
    QWidget* latestShown() const {
        for (auto it = windows_.crbegin(); it != windows_.crend(); ++it)
            if (usable(*it))
                return *it;
        return nullptr;
    }

private:
    QList<QPointer<QWidget>> windows_;
};

ActivationHistory* activationHistory() {
    static QPointer<ActivationHistory> history;
    if (!history && qApp)
        history = new ActivationHistory(qApp);
    return history;
}

} // namespace

QWidget* PromptDialogParent() {
    if (QWidget* owner = promptOwner(); usable(owner))
        return owner;
    if (QWidget* modal = QApplication::activeModalWidget(); usable(modal))
        return modal;
    if (QWidget* active = QApplication::activeWindow(); usable(active))
        return active;
    if (ActivationHistory* history = activationHistory())
        if (QWidget* last = history->latestShown())
            return last;
    return promptParent();
}

void SetPromptParent(QWidget* parent) {
    promptParent() = parent;
    activationHistory(); // from now on the window last active is known
}

PromptOwner::PromptOwner(QWidget* window) : previous_(promptOwner()) {
    promptOwner() = window;
}

PromptOwner::~PromptOwner() {
    promptOwner() = previous_;
}
