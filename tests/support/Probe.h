#pragma once
// Finding a window's controls in GUI tests by object name and type. A control
// that is missing, or has another type, fails the test with a message that
// names it, the type asked for and the window searched:
//   auto* set = Probe<QPushButton>(form, "BTN_SetValue");  // ends the test when absent
//
// The type is checked with dynamic_cast, so it also holds for window classes
// without Q_OBJECT (findChild<T> would take any QWidget for them).

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <source_location>
#include <string>
#include <typeinfo>

namespace test_support {

namespace probe_detail {

inline std::string TypeName(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                &std::free);
    return status == 0 && name ? name.get() : type.name();
}

inline std::string WindowName(const QObject* root) {
    const std::string name = root->objectName().toStdString();
    return TypeName(typeid(*root)) + (name.empty() ? std::string() : " \"" + name + "\"");
}

template <typename T>
T* Lookup(const QObject* root, const char* name) {
    if (!root) return nullptr;
    for (QObject* child : root->findChildren<QObject*>(QString::fromLatin1(name))) {
        if (auto* control = dynamic_cast<T*>(child)) return control;
    }
    return nullptr;
}

// Why Lookup found nothing.
template <typename T>
std::string Missing(const QObject* root, const char* name) {
    const std::string wanted = TypeName(typeid(T));
    if (!root) return "no window to find the " + wanted + " \"" + name + "\" in";
    const QObject* other = root->findChild<QObject*>(QString::fromLatin1(name));
    if (other) {
        return "\"" + std::string(name) + "\" in " + WindowName(root) + " is a " + TypeName(typeid(*other)) +
               ", not a " + wanted;
    }
    return "no " + wanted + " named \"" + name + "\" in " + WindowName(root);
}

}  // namespace probe_detail

// The control of type T named `name` below root; nullptr after a non-fatal
// failure when there is none. Use it where the test must go on: inside a Qt
// event handler (a timer's lambda), where Probe's exception must not pass.
template <typename T>
T* FindControl(const QObject* root, const char* name, std::source_location where = std::source_location::current()) {
    T* control = probe_detail::Lookup<T>(root, name);
    if (!control)
        ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << probe_detail::Missing<T>(root, name);
    return control;
}

// The control of type T named `name` below root. When there is none the test
// fails at the caller's line and ends there, like an ASSERT.
template <typename T>
T* Probe(const QObject* root, const char* name, std::source_location where = std::source_location::current()) {
    if (T* control = probe_detail::Lookup<T>(root, name)) return control;
    const std::string message = probe_detail::Missing<T>(root, name);
    const int line = static_cast<int>(where.line());
    [&] { GTEST_FAIL_AT(where.file_name(), line) << message; }();
    // Already reported: Google Test ends the test on this exception without a further message.
    throw ::testing::AssertionException(
        ::testing::TestPartResult(::testing::TestPartResult::kFatalFailure, where.file_name(), line, message.c_str()));
}

}  // namespace test_support
