pragma Singleton
import QtQuick
import Quaymeter.Inspector
import Quaymeter as Kit

// How each scan status looks wherever the window shows one: the badge's label and colour, the
// status line's symbol, and what the results area says while no listener is listed.
QtObject {
    readonly property var prompt: ({
            title: "Enter a port to inspect what is listening.",
            message: "Quaymeter will identify the listener and show safe kill controls after confirmation.",
            icon: "terminal",
            iconColor: Kit.Palette.accentCyan
        })
    readonly property var looks: ({
            [ScanStatus.Idle]: {
                label: "Ready",
                colour: Kit.Palette.textSecondary,
                symbol: "scope",
                empty: prompt
            },
            [ScanStatus.Scanning]: {
                label: "Scanning",
                colour: Kit.Palette.accentCyan,
                symbol: "waveform.path.ecg",
                empty: prompt
            },
            [ScanStatus.Available]: {
                label: "Available",
                colour: Kit.Palette.accentMint,
                symbol: "checkmark.circle",
                empty: {
                    title: "Port available",
                    message: "No process is listening on this TCP port.",
                    icon: "checkmark.seal",
                    iconColor: Kit.Palette.accentMint
                }
            },
            [ScanStatus.InUse]: {
                label: "In Use",
                colour: Kit.Palette.accentViolet,
                symbol: "bolt.horizontal.circle",
                empty: prompt
            },
            [ScanStatus.Error]: {
                label: "Error",
                colour: Kit.Palette.accentPink,
                symbol: "exclamationmark.triangle",
                empty: {
                    title: "Scan needs attention",
                    message: "Fix the input or review the error message, then scan again.",
                    icon: "terminal",
                    iconColor: Kit.Palette.accentCyan
                }
            }
        })

    function of(status: int): var {
        return looks[status];
    }
}
