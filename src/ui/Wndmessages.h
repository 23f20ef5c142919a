#pragma once
// The messages the main window posts to itself. The device and analysis threads never touch a widget:
// their listeners post one of these, and the window handles it on the user-interface thread.

#include <QEvent>

#include "analysis/Formantvalue.h"

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace vowelscope {

constexpr int WM_APP = 0x8000;

inline const QEvent::Type UM_CREATED = static_cast<QEvent::Type>(WM_APP + 1000);
inline const QEvent::Type UM_PLAY_STARTED = static_cast<QEvent::Type>(WM_APP + 1001);
inline const QEvent::Type UM_PLAY_ENDED = static_cast<QEvent::Type>(WM_APP + 1002);
inline const QEvent::Type UM_RECORD_STARTED = static_cast<QEvent::Type>(WM_APP + 1011);
inline const QEvent::Type UM_RECORD_ENDED = static_cast<QEvent::Type>(WM_APP + 1012);
inline const QEvent::Type UM_ANALYSIS_DONE = static_cast<QEvent::Type>(WM_APP + 1021);
// A measured block (wParam: its level for the meter) and a progress step of the analysis (wParam: the
// bar's position): the capture thread and the F0 worker reach the window only through messages.
inline const QEvent::Type UM_FORMANT_VALUE = static_cast<QEvent::Type>(WM_APP + 1031);
inline const QEvent::Type UM_ANALYSIS_PROGRESS = static_cast<QEvent::Type>(WM_APP + 1032);
// A recorded block's live pitch (wParam: its frequency in hundredths of a hertz, 0 when unvoiced).
inline const QEvent::Type UM_LIVE_PITCH = static_cast<QEvent::Type>(WM_APP + 1033);

// A posted message with its one argument. It is made on the posting thread, then read and freed on the
// user-interface thread. Qt's event queue, which hands it over, is not built with ThreadSanitizer, so in
// such a build the hand-over is told to it here; elsewhere these calls do nothing.
class TMessageEvent : public QEvent {
 public:
  TMessageEvent(QEvent::Type type, int wParam) : QEvent(type), wParam(wParam) {}
  ~TMessageEvent() override { Received(this); }

  // The poster's last touch, just before posting.
  static TMessageEvent* Handing(TMessageEvent* message) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(message);
#endif
    return message;
  }
  // The receiver's first touch of any event it is given.
  static void Received(QEvent* event) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(event);
#else
    (void)event;
#endif
  }

  const int wParam;
};

// A measured block: its level for the meter as wParam, and its formants for the practice score.
class TFormantMessage : public TMessageEvent {
 public:
  TFormantMessage(int level, const FormantValue& value) : TMessageEvent(UM_FORMANT_VALUE, level), value(value) {}

  const FormantValue value;
};

}  // namespace vowelscope
