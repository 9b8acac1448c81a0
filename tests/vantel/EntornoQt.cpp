// The control is a widget: every test process needs one QApplication, made
// here so that the shared gtest main can stay.

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class EntornoQt : public ::testing::Environment
{
public:
    void SetUp() override
    {
        static int argc = 1;
        static char nombre[] = "test_vantel";
        static char *argv[] = {nombre, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] const auto *const registrado = ::testing::AddGlobalTestEnvironment(new EntornoQt);

} // namespace
