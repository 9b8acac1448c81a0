#include <QApplication>

#include <gtest/gtest.h>

namespace {

// Fonts, painters and printers need an application object for the whole run.
class EntornoQt : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char nombre[] = "test_printing";
        static char* argv[] = {nombre, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

const auto* const kEntorno = ::testing::AddGlobalTestEnvironment(new EntornoQt);

} // namespace
