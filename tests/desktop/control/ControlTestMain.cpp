// The control tab's test classes, run one after the other.

#include <QApplication>

int runControlTabTest(int argc, char** argv);
int runCamControlDefaultsTest(int argc, char** argv);
int runCustomCameraNameTest(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    failed += runControlTabTest(argc, argv);
    failed += runCamControlDefaultsTest(argc, argv);
    failed += runCustomCameraNameTest(argc, argv);
    return failed;
}
