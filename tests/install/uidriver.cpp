// SPDX-License-Identifier: GPL-3.0-or-later
// Drives a real program's window from inside it, for tests of an installed
// program that no test can link: a Qt generic plugin, loaded by the program's
// own Qt when started with QT_PLUGIN_PATH naming the folder above generic/ and
// QT_QPA_GENERIC_PLUGINS=korveldriver. Once the main window (object name
// "Form1") shows, it runs the menu commands named in KORVEL_DRIVE (action
// object names, comma-separated) one after the other, as a user choosing them
// from their menus would (the menu's opening handler runs first, so disabled
// commands stay disabled). Every modal window met on the way is answered with
// its default button, its text printed on standard error. Then the program
// ends with status 0; with status 3 when a command is missing or disabled.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QGenericPlugin>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString& text) {
    std::fprintf(stderr, "korveldriver: %s\n", text.toLocal8Bit().constData());
}

class Driver final : public QObject {
public:
    explicit Driver(QObject* parent) : QObject(parent) {
        commands_ = qEnvironmentVariable("KORVEL_DRIVE").split(QLatin1Char(','), Qt::SkipEmptyParts);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, &Driver::step);
        timer->start(100);
    }

private:
    // Runs in the program's event loop, and in the nested loop of any modal
    // window a command opens.
    void step() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            answer(modal);
            return;
        }
        if (running_)
            return; // the command under way is between two of its windows
        QWidget* main = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("Form1") && w->isVisible())
                main = w;
        if (!main)
            return;
        if (commands_.isEmpty()) {
            say(QStringLiteral("done"));
            QCoreApplication::exit(0);
            return;
        }
        const QString name = commands_.takeFirst();
        auto* action = main->findChild<QAction*>(name);
        if (auto* menu = action ? qobject_cast<QMenu*>(action->parent()) : nullptr)
            emit menu->aboutToShow();
        if (!action || !action->isEnabled()) {
            say(QStringLiteral("%1 is %2")
                    .arg(name, action ? QStringLiteral("disabled") : QStringLiteral("missing")));
            QCoreApplication::exit(3);
            return;
        }
        say(name);
        // Run from its own timer: Qt does not fire this polling timer again
        // while its own slot runs, so a command started here would leave its
        // modal windows unanswered.
        running_ = true;
        QTimer::singleShot(0, this, [this, action] {
            action->trigger();
            running_ = false;
        });
    }

    static void answer(QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            say(QStringLiteral("message: ") + box->text());
            QAbstractButton* button = box->defaultButton();
            if (!button && !box->buttons().isEmpty())
                button = box->buttons().constFirst();
            if (button) {
                button->click();
                return;
            }
        }
        say(QStringLiteral("closing %1").arg(QString::fromLatin1(modal->metaObject()->className())));
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
    }

    QStringList commands_;
    bool running_ = false;
};

} // namespace

class DriverPlugin final : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "uidriver.json")
public:
    QObject* create(const QString& key, const QString&) override {
        if (key.compare(QLatin1String("korveldriver"), Qt::CaseInsensitive) != 0)
            return nullptr;
        return new Driver(nullptr); // Qt deletes what generic plugins create
    }
};

#include "uidriver.moc"
