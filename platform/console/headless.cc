// The headless back end: keys from a script, the screen only in the buffer.
#include <fstream>
#include <sstream>

#include "platform/console/backends.h"
#include "platform/console/keys.h"
#include "platform/console/state.h"
#include "platform/process/clock.h"
#include "platform/process/environment.h"
#include "util/basics.h"

namespace platform::console {

namespace {

// Starvation bookkeeping: a program that keeps asking for input the script
// no longer has is waiting for ever, whether it waits in one call or polls.
struct Starvation {
  StarvedHandler handler;
  RanOutHandler ran_out_handler;
  bool starving = false;
  bool exhausted = false;   // this dry spell has run out: Escape until new keys
  bool ran_out = false;     // some dry spell has, since the console was opened
  int64_t since_ms = 0;     // steady clock when the queue ran dry
  int64_t asked_ms = 0;     // the timeouts the program asked for since then
  int beeps = 0;
};

// Process-wide: the dry spells of the one console, across every read.
Starvation starvation;

Starvation& Starve() { return starvation; }

int IdleLimitMs() {
  std::string text = platform::GetEnvironment("KITCONSOLE_IDLE_MS");
  if (text.empty()) return 2000;
  int32_t value = util::NumericValue32(text);
  return value > 0 ? value : 2000;
}

// Escape for a program waiting on a script that has run out: what an
// operator would press to get out of wherever the program is.
bool GiveEscape(InputEvent* event) {
  event->kind = InputEvent::kKey;
  event->key = internal::CharKey(27, 0);
  return true;
}

bool RunOut(InputEvent* event) {
  Starvation& st = Starve();
  st.exhausted = true;
  st.ran_out = true;
  internal::WriteDumpFiles(internal::Get());
  if (st.ran_out_handler) st.ran_out_handler();
  return GiveEscape(event);
}

}  // namespace

namespace internal {

bool HeadlessOpen(std::string_view script, std::string* error) {
  std::vector<InputEvent> events;
  if (!ParseKeyScript(script, &events, error)) return false;
  State& s = Get();
  s.queue.assign(events.begin(), events.end());
  Starvation& st = Starve();
  st.starving = false;
  st.exhausted = false;
  st.ran_out = false;
  st.beeps = 0;
  return true;
}

bool HeadlessOpenFile(const std::string& path, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error) *error = "cannot read the key script " + path;
    return false;
  }
  std::ostringstream text;
  text << in.rdbuf();
  std::string why;
  if (!HeadlessOpen(text.str(), &why)) {
    if (error) *error = path + ", " + why;
    return false;
  }
  return true;
}

void HeadlessClose() { WriteDumpFiles(Get()); }

bool HeadlessRead(InputEvent* event, int timeout_ms) {
  State& s = Get();
  Starvation& st = Starve();
  for (int attempts = 0;; ++attempts) {
    if (!s.queue.empty()) {
      *event = s.queue.front();
      s.queue.pop_front();
      st.starving = false;
      return true;
    }
    if (!st.starving) {
      st.starving = true;
      st.exhausted = false;
      st.since_ms = platform::SteadyMilliseconds();
      st.asked_ms = 0;
      WriteDumpFiles(s);
    }
    if (st.handler) {
      // A handler that claims to feed but feeds nothing must not spin us.
      if (attempts < 1000 && st.handler(timeout_ms)) continue;
      return false;
    }
    if (st.exhausted) return GiveEscape(event);
    if (timeout_ms < 0) return RunOut(event);
    // Timed waits add up to a wait for ever once they pass the limit. Polls
    // without a timeout are the program working and looking at the keyboard
    // now and then, unless they go on for much longer: then it is spinning.
    st.asked_ms += timeout_ms;
    const int64_t limit = IdleLimitMs();
    if (st.asked_ms >= limit || platform::SteadyMilliseconds() - st.since_ms >= 15 * limit) {
      return RunOut(event);
    }
    return false;
  }
}

void HeadlessBeep() { ++Starve().beeps; }

void HeadlessForget() { Starve() = Starvation(); }

}  // namespace internal

bool HeadlessFeed(std::string_view script, std::string* error) {
  std::vector<InputEvent> events;
  if (!ParseKeyScript(script, &events, error)) return false;
  internal::State& s = internal::Get();
  s.queue.insert(s.queue.end(), events.begin(), events.end());
  // New input ends a dry spell: the waits counted so far were answered.
  // (Queued events are read by the console without coming through here.)
  if (!events.empty()) Starve().starving = false;
  return true;
}

void HeadlessPush(const InputEvent& event) {
  internal::Get().queue.push_back(event);
  Starve().starving = false;
}

size_t HeadlessPending() { return internal::Get().queue.size(); }

void SetHeadlessStarvedHandler(StarvedHandler handler) { Starve().handler = std::move(handler); }

void SetHeadlessRanOutHandler(RanOutHandler handler) {
  Starve().ran_out_handler = std::move(handler);
}

bool HeadlessRanOut() { return Starve().ran_out; }

int HeadlessBeeps() { return Starve().beeps; }

}  // namespace platform::console
