#pragma once

// A hook lets an object see the events of a window it does not own. Each window has a
// chain of hooks: an event goes to the newest hook first, then to the older ones in turn,
// and reaches the window's own handling only when no hook has handled it. Taking a hook
// off, in any order, leaves the others and the window working. When the window goes, the
// hooks see a WindowDestroy event, are taken off, and those set to auto-delete are
// deleted.

#include <QEvent>

class QWidget;

namespace sentrel {

class CHookWnd {
public:
    CHookWnd() = default;
    virtual ~CHookWnd();
    CHookWnd(const CHookWnd&) = delete;
    CHookWnd& operator=(const CHookWnd&) = delete;

    // Hooks the top-level window that holds `widget`.
    bool HookFrame(QWidget* widget);
    // Puts this hook at the head of the window's chain. False for no window, or when this
    // hook is already on one.
    bool HookWindow(QWidget* window);
    // Takes this hook off its window's chain; false when it was not hooked.
    bool UnhookWindow();

    void SetAutoDelete(bool autoDelete) { m_autoDelete = autoDelete; }
    bool GetAutoDelete() const { return m_autoDelete; }

    // The newest hook of a window's chain, or null.
    static CHookWnd* FirstHook(const QWidget* window);

    // The event the hooks are offered while their window is being destroyed. The window
    // is then only an address: do not use it as a widget.
    static QEvent::Type WindowDestroyEvent();

    // Returns true when the event is handled: older hooks and the window do not see it.
    virtual bool HandleMessage(QWidget* window, QEvent* event) = 0;

protected:
    virtual void OnHooked(QWidget* window);
    virtual void OnUnhooked(QWidget* window);

private:
    friend class CHookEntry;
    QWidget* m_window = nullptr;
    CHookWnd* m_next = nullptr;
    bool m_autoDelete = false;
};

} // namespace sentrel
