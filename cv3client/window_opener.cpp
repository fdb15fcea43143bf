#include "cv3client/window_opener.h"

namespace cv3 {

void DeferredWindowOpener::Register(WindowKind kind, Action show, Action close) {
  kinds_[kind] = {std::move(show), std::move(close)};
}

void DeferredWindowOpener::ShowWindow(WindowKind kind) {
  deferral_.Defer([this, kind] {
    auto found = kinds_.find(kind);
    if (found != kinds_.end() && found->second.show) found->second.show();
  });
}

void DeferredWindowOpener::CloseWindow(WindowKind kind) {
  auto found = kinds_.find(kind);
  if (found != kinds_.end() && found->second.close) found->second.close();
}

}  // namespace cv3
