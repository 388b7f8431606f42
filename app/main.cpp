#include "Platform.h"
#include "StartUp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    PinTimeZone();
    QApplication application(argc, argv);
    return StartUp();
}
