#pragma once
// The three states of an indicator lamp as the capture decoders give them:
// off is grey RGB(128, 128, 128), on green RGB(0, 255, 0), fault (or
// unstable) red RGB(255, 0, 0). Kept free of widgets; the page widgets turn
// a state into their lamp's colour (in the same order as the window kit's
// lamp states).

namespace selvitra {

enum class LampState { Off, On, Fault };

}  // namespace selvitra
