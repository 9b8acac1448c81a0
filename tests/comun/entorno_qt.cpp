// gtest_main provides main(); widget, font and printer tests need one QApplication for the
// whole run.
#include <QApplication>

#include <gtest/gtest.h>

namespace {

class EntornoQt : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char nombre[] = "pruebas";
        static char* argv[] = {nombre, nullptr};
        m_app = new QApplication(argc, argv);
    }
    void TearDown() override { delete m_app; }

private:
    QApplication* m_app = nullptr;
};

[[maybe_unused]] const ::testing::Environment* const registrado =
    ::testing::AddGlobalTestEnvironment(new EntornoQt);

}  // namespace
