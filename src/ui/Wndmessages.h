#pragma once
// The messages the main window posts to itself. The device and analysis threads never touch a widget:
// their listeners post one of these, and the window handles it on the user-interface thread.

#include <QEvent>

namespace vowelscope {

constexpr int WM_APP = 0x8000;

inline const QEvent::Type UM_CREATED = static_cast<QEvent::Type>(WM_APP + 1000);
inline const QEvent::Type UM_PLAY_STARTED = static_cast<QEvent::Type>(WM_APP + 1001);
inline const QEvent::Type UM_PLAY_ENDED = static_cast<QEvent::Type>(WM_APP + 1002);
inline const QEvent::Type UM_RECORD_STARTED = static_cast<QEvent::Type>(WM_APP + 1011);
inline const QEvent::Type UM_RECORD_ENDED = static_cast<QEvent::Type>(WM_APP + 1012);
inline const QEvent::Type UM_ANALYSIS_DONE = static_cast<QEvent::Type>(WM_APP + 1021);

// A posted message with its one argument.
class TMessageEvent : public QEvent {
 public:
  TMessageEvent(QEvent::Type type, int wParam) : QEvent(type), wParam(wParam) {}
  const int wParam;
};

}  // namespace vowelscope
