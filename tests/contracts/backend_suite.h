#pragma once

// The frame of a suite that every backend passes alike: the suite is value-parameterised over a
// factory that makes a fresh backend for each test, so each backend instantiates it once with
// INSTANTIATE_TEST_SUITE_P(Name, Suite, ::testing::Values(factory)).

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

namespace digital_id::contracts {

// Makes a fresh backend of a suite for each test.
template <typename BackendType>
struct BackendFactory {
  const char* name;                                    // the backend, for test output
  std::function<std::unique_ptr<BackendType>()> make;  // a new backend
};

// Test output names the backend instead of showing the factory's bytes.
template <typename BackendType>
void PrintTo(const BackendFactory<BackendType>& factory, std::ostream* out) {
  *out << factory.name;
}

// The fixture of a suite over backends of that type.
template <typename BackendType>
class BackendSuite : public ::testing::TestWithParam<BackendFactory<BackendType>> {
 protected:
  // Makes the backend.
  void SetUp() override {
    backend_ = this->GetParam().make();
    ASSERT_NE(backend_, nullptr);
  }
  // The backend of this test.
  BackendType& Backend() { return *backend_; }

 private:
  std::unique_ptr<BackendType> backend_;
};

}  // namespace digital_id::contracts
