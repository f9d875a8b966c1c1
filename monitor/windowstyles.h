#pragma once

// The style sheets the window gives the details box when the unit goes
// offline. Its two writers have always spelled the empty background
// differently; both clear it, and each keeps its own text.
namespace WindowStyle {

// Written by the offline presentation of the details box.
inline constexpr char OfflineDetails[] = "QTextEdit { background-color : }";
// Written by the checklist while the unit is offline.
inline constexpr char OfflineChecklist[] = "QTextEdit { background-color: }";

} // namespace WindowStyle
