#include <QCoreApplication>
#include <cstdio>
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::printf("PORT 0\n");
    return 0;
}
