// Lists the tests of the build folder (the working folder) through ctest and names those without
// a time limit: exit 0 when every test has one.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <ctest>\n", argv[0]);
        return 2;
    }
    const std::string command = std::string("\"") + argv[1] + "\" --show-only=json-v1";
    QByteArray out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return 2;
    char buf[65536];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;)
        out.append(buf, qsizetype(n));
    if (pclose(p) != 0) {
        std::fprintf(stderr, "%s failed\n", command.c_str());
        return 2;
    }
    const QJsonArray tests = QJsonDocument::fromJson(out).object().value("tests").toArray();
    int missing = 0;
    for (const QJsonValue& t : tests) {
        double limit = 0;
        for (const QJsonValue& prop : t.toObject().value("properties").toArray())
            if (prop.toObject().value("name").toString() == "TIMEOUT")
                limit = prop.toObject().value("value").toDouble();
        if (limit <= 0) {
            std::printf("no time limit: %s\n", qPrintable(t.toObject().value("name").toString()));
            ++missing;
        }
    }
    std::printf("%lld tests, %d without a time limit\n", static_cast<long long>(tests.size()),
                missing);
    return tests.isEmpty() || missing ? 1 : 0;
}
