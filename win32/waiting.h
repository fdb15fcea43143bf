// Waiting that keeps the program alive: pumps window messages until the tick count has passed
// the start plus `ms`. Handlers may run re-entrantly inside the wait. UI thread only.
#pragma once

namespace cv3 {

void WaitWhileProcessing(unsigned ms);

}  // namespace cv3
