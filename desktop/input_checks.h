#pragma once

#include <functional>
#include <string>

// The checks a desktop tab makes before it sends anything. The validators take the program's
// 8-bit text and only answer.

// Every byte a space or an ASCII letter; the empty text passes.
bool IsAlphaName(const std::string& Text);

// A local part and a domain around the first "@", in the narrow syntax the service accepts.
bool IsValidEmail(const std::string& Text);

// Whether the desktop reports a connection to the Internet, asked afresh at every call.
bool IsOnline();

// The question IsOnline asks; tests and platforms replace it. A probe that fails counts as
// offline. Passing an empty function puts the default probe back.
using TOnlineProbe = std::function<bool()>;
void SetOnlineProbe(TOnlineProbe Probe);

// True when online. Offline, it asks whether to fax instead: Yes runs FaxInstead, when there is
// one, and No shows FollowUp; then false, and the caller ends its action quietly.
bool CheckOnline(const std::string& FollowUp, const std::function<void()>& FaxInstead = {});
