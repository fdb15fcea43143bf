// The platform's windows, made on demand. Each window is a view interface (LoginView, AboutView,
// ...); the program provides one maker per view type, tests provide fakes, and a window's wiring
// asks for a view when it opens one (see WindowWiring, which also checks that every registered
// window has its maker). A view without a maker opens nothing. The made view belongs to the
// caller. UI thread only.
#pragma once

#include <any>
#include <functional>
#include <memory>
#include <typeindex>
#include <unordered_map>

namespace cv3 {

class WindowFactory {
 public:
  template <class View>
  using Maker = std::function<std::unique_ptr<View>()>;

  template <class View>
  void Provide(Maker<View> make) {
    makers_[std::type_index(typeid(View))] = std::move(make);
  }

  template <class View>
  bool Provides() const {
    return makers_.contains(std::type_index(typeid(View)));
  }

  // A new window of this kind; nullptr when none is provided or the maker failed.
  template <class View>
  std::unique_ptr<View> Make() const {
    auto found = makers_.find(std::type_index(typeid(View)));
    if (found == makers_.end()) return nullptr;
    const auto* make = std::any_cast<Maker<View>>(&found->second);
    return make && *make ? (*make)() : nullptr;
  }

 private:
  std::unordered_map<std::type_index, std::any> makers_;
};

}  // namespace cv3
