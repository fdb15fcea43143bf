#include "cv3client/window_registry.h"

namespace cv3 {

void WindowRegistry::Register(WindowKind kind, Action show, Action close) {
  kinds_[kind] = {std::move(show), std::move(close)};
}

void WindowRegistry::ShowWindow(WindowKind kind) {
  auto found = kinds_.find(kind);
  if (found != kinds_.end() && found->second.show) found->second.show();
}

void WindowRegistry::CloseWindow(WindowKind kind) {
  auto found = kinds_.find(kind);
  if (found != kinds_.end() && found->second.close) found->second.close();
}

}  // namespace cv3
