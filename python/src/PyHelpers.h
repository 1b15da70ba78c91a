// What the bindings share: arrays handed to NumPy without a copy, and work
// run without the interpreter lock.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <type_traits>
#include <vector>

namespace py = pybind11;

// Hands a vector to NumPy: the array keeps the vector alive through a capsule.
template <typename T>
inline py::array ToArray(std::vector<T>&& v, std::vector<py::ssize_t> shape = {}, const char* dtype = nullptr) {
  auto* owned = new std::vector<T>(std::move(v));
  py::capsule owner(owned, [](void* p) { delete static_cast<std::vector<T>*>(p); });
  if (shape.empty()) shape = {static_cast<py::ssize_t>(owned->size())};
  std::vector<py::ssize_t> strides(shape.size(), sizeof(T));
  for (size_t i = shape.size() - 1; i > 0; --i) strides[i - 1] = strides[i] * shape[i];
  py::dtype dt = dtype ? py::dtype(dtype) : py::dtype::of<T>();
  return py::array(dt, shape, strides, owned->data(), owner);
}

// Runs work without the interpreter lock. The lock is taken back outside any
// destructor: in a daemon thread at interpreter exit, taking it ends the
// thread by unwinding its stack, which a destructor (noexcept) cannot pass.
template <typename Fn>
inline auto WithoutGil(Fn&& work) -> decltype(work()) {
  using Result = decltype(work());
  PyThreadState* state = PyEval_SaveThread();
  std::optional<std::conditional_t<std::is_void_v<Result>, bool, Result>> result;
  try {
    if constexpr (std::is_void_v<Result>) work(), result = true;
    else result.emplace(work());
  } catch (...) {
    PyEval_RestoreThread(state);
    throw;
  }
  PyEval_RestoreThread(state);
  if constexpr (!std::is_void_v<Result>) return std::move(*result);
}

