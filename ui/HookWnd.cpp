#include "ui/HookWnd.h"

#include <QObject>
#include <QWidget>

#include <map>
#include <mutex>

namespace sentrel {

// The one event filter a hooked window gets, whatever the number of its hooks: it walks
// the chain. It is not a child of the window so that it outlives the window's children
// and sees the window go.
class CHookEntry : public QObject {
public:
    explicit CHookEntry(QWidget* window);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void WindowDestroyed();

    static bool Dispatch(QWidget* window, QEvent* event);

private:
    QWidget* m_window;
};

namespace {

struct Chain {
    CHookWnd* first = nullptr;
    CHookEntry* entry = nullptr;
};

// Guards the chains of every window; hooks may be put on and taken off from any thread.
std::recursive_mutex& ChainLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::map<const QWidget*, Chain>& Chains() {
    static std::map<const QWidget*, Chain> chains;
    return chains;
}

} // namespace

CHookEntry::CHookEntry(QWidget* window) : m_window(window) {
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, &CHookEntry::WindowDestroyed);
}

bool CHookEntry::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_window) {
        return false;
    }
    return Dispatch(m_window, event);
}

bool CHookEntry::Dispatch(QWidget* window, QEvent* event) {
    CHookWnd* first = CHookWnd::FirstHook(window);
    if (!first) {
        return false;
    }
    CHookWnd* next = first->m_next;
    if (first->HandleMessage(window, event)) {
        return true;
    }
    // A first hook that took itself off leaves the chain to the window's new first hook.
    if (first->m_window != window) {
        next = CHookWnd::FirstHook(window);
    }
    for (CHookWnd* hook = next; hook;) {
        CHookWnd* after = hook->m_next;
        if (hook->HandleMessage(window, event)) {
            return true;
        }
        hook = after;
    }
    return false;
}

void CHookEntry::WindowDestroyed() {
    QWidget* window = m_window;
    QEvent destroying(CHookWnd::WindowDestroyEvent());
    Dispatch(window, &destroying);
    // Take every hook off, newest first, and delete those that asked for it. The last
    // one taken off deletes this entry.
    while (CHookWnd* hook = CHookWnd::FirstHook(window)) {
        hook->UnhookWindow();
        if (hook->GetAutoDelete()) {
            delete hook;
        }
    }
}

CHookWnd::~CHookWnd() {
    UnhookWindow();
}

bool CHookWnd::HookFrame(QWidget* widget) {
    return widget && HookWindow(widget->window());
}

bool CHookWnd::HookWindow(QWidget* window) {
    if (!window || m_window) {
        return false;
    }
    {
        std::lock_guard guard(ChainLock());
        Chain& chain = Chains()[window];
        if (!chain.entry) {
            chain.entry = new CHookEntry(window);
        }
        m_next = chain.first;
        chain.first = this;
        m_window = window;
    }
    OnHooked(window);
    return true;
}

bool CHookWnd::UnhookWindow() {
    if (!m_window) {
        return false;
    }
    QWidget* former = m_window;
    {
        std::lock_guard guard(ChainLock());
        const auto it = Chains().find(former);
        if (it != Chains().end()) {
            Chain& chain = it->second;
            if (chain.first == this) {
                chain.first = m_next;
            } else {
                for (CHookWnd* hook = chain.first; hook; hook = hook->m_next) {
                    if (hook->m_next == this) {
                        hook->m_next = m_next;
                        break;
                    }
                }
            }
            if (!chain.first) {
                // The window's events go straight to it again. The entry may be running
                // its filter right now, so it goes later.
                former->removeEventFilter(chain.entry);
                chain.entry->deleteLater();
                Chains().erase(it);
            }
        }
        m_window = nullptr;
        m_next = nullptr;
    }
    OnUnhooked(former);
    return true;
}

CHookWnd* CHookWnd::FirstHook(const QWidget* window) {
    std::lock_guard guard(ChainLock());
    const auto it = Chains().find(window);
    return it == Chains().end() ? nullptr : it->second.first;
}

QEvent::Type CHookWnd::WindowDestroyEvent() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void CHookWnd::OnHooked(QWidget*) {}

void CHookWnd::OnUnhooked(QWidget*) {}

} // namespace sentrel
