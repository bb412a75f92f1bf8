#include "gui/singleinstance.h"

#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>
#include <unistd.h>

#include "gui/controls.h"

const char* const kAlreadyRunningText = "別のZittermarkがすでに開かれています。";
const char* const kAlreadyRunningCaption = "確認";

namespace {

TInstanceBoxHook& BoxHook() {
    static TInstanceBoxHook hook;
    return hook;
}

void ShowWithQt(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, Text(caption), Text(text), QMessageBox::Ok);
    box.setObjectName("AlreadyRunningBox");
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

} // namespace

std::string InstanceLockPath() {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) {
        return Utf8(QDir::cleanPath(runtime) + "/Zittermark.lock");
    }
    return Utf8(QDir::tempPath() + QString("/Zittermark-%1.lock").arg(::getuid()));
}

TSingleInstance::TSingleInstance(const std::string& lockPath) : lock(Text(lockPath)) {
    // No age makes a lock stale: only the death of the process holding it.
    lock.setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() {
    Release();
}

bool TSingleInstance::TryAcquire() {
    return lock.isLocked() || lock.tryLock(0);
}

void TSingleInstance::Release() {
    if (lock.isLocked()) {
        lock.unlock();
    }
}

bool TSingleInstance::Held() const {
    return lock.isLocked();
}

TInstanceBoxHook SetInstanceBoxHook(TInstanceBoxHook hook) {
    TInstanceBoxHook previous = std::move(BoxHook());
    BoxHook() = std::move(hook);
    return previous;
}

void ShowAlreadyRunningBox() {
    const TInstanceBoxHook& hook = BoxHook();
    if (hook) {
        hook(kAlreadyRunningCaption, kAlreadyRunningText);
    } else {
        ShowWithQt(kAlreadyRunningCaption, kAlreadyRunningText);
    }
}
