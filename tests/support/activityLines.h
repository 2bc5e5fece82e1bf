#pragma once

#include "inspectorState.h"

// The activity log's lines as the window shows them, newest first.
inline QStringList messages(const InspectorState &state) {
    QStringList lines;
    for (const ActivityEntry &entry : state.activityEntries())
        lines << entry.message;
    return lines;
}
