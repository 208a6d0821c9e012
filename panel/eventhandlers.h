#pragma once

#include "link/eventgate.h"

#include <QHash>
#include <QString>

#include <functional>
#include <variant>

namespace kestrava {

// What a drive-pad handler receives: the button mask (1 left, 2 right, 4 middle),
// the shift-key mask, and the pointer in twips from the control's top-left corner.
struct MouseArgs
{
    qint16 button = 0;
    qint16 shift = 0;
    float x = 0.0f;
    float y = 0.0f;
};

// How an event that arrives while another operation runs is deferred.
enum class Deferral {
    Queue,            // runs later, in arrival order
    MergeWithLatest,  // replaces a deferred event of the same handler at the queue's tail
};

// Handlers by the names of the event table ("CmdTPA81_Click", "ReleOn_Click", ...).
// The device code registers its handlers here; the window wires each row of its
// event table to the handler of the row's name.
class EventHandlers
{
public:
    using Plain = std::function<void()>;
    using Indexed = std::function<void(qint16 index)>;
    using Mouse = std::function<void(const MouseArgs &)>;
    using Handler = std::variant<Plain, Indexed, Mouse>;

    struct Entry
    {
        Handler handler;
        Deferral deferral = Deferral::Queue;
    };

    void add(const QString &name, Plain handler) { insert(name, {std::move(handler)}); }
    void add(const QString &name, Indexed handler) { insert(name, {std::move(handler)}); }
    void add(const QString &name, Mouse handler, Deferral deferral = Deferral::Queue)
    {
        insert(name, {std::move(handler), deferral});
    }

    // Runs the handler registered as `name` as its control's event does: through the
    // gate, so it waits its turn behind a running operation (merging with the latest
    // deferred event of its kind when registered so). `index` goes to an indexed
    // handler, `mouse` to a drive-pad handler. False when no handler has that name.
    bool fire(EventGate &gate, const QString &name, qint16 index = -1, const MouseArgs &mouse = {}) const;

    const Entry *find(const QString &name) const
    {
        auto it = m_entries.constFind(name);
        return it == m_entries.constEnd() ? nullptr : &it.value();
    }
    QStringList names() const { return m_entries.keys(); }

private:
    void insert(const QString &name, Entry entry) { m_entries.insert(name, std::move(entry)); }

    QHash<QString, Entry> m_entries;
};

} // namespace kestrava
