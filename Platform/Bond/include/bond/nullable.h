// An optional member: either empty or holding one value. Numbers, strings, lists and maps are
// held inline next to the presence flag; structs are held on the heap, created at their
// declared defaults when a value is set, unless marked with nullable_inline. Copies are deep.
#pragma once

#include "bond/exception.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace bond {

// Specialised as true for a struct that is complete wherever a nullable of it is declared and
// does not contain itself: its nullables then hold it inline, without a heap allocation.
template <typename T>
struct nullable_inline : std::false_type
{
};

namespace detail {

template <typename T>
struct held_inline : std::bool_constant<!std::is_class_v<T> || nullable_inline<T>::value>
{
};

template <typename C, typename Traits, typename A>
struct held_inline<std::basic_string<C, Traits, A>> : std::true_type
{
};

template <typename T, typename A>
struct held_inline<std::vector<T, A>> : std::true_type
{
};

template <typename K, typename V, typename C, typename A>
struct held_inline<std::map<K, V, C, A>> : std::true_type
{
};

} // namespace detail

template <typename T>
class nullable
{
    static constexpr bool kInline = detail::held_inline<T>::value;
    using Storage = std::conditional_t<kInline, std::optional<T>, std::unique_ptr<T>>;

public:
    using value_type = T;

    nullable() noexcept = default;

    explicit nullable(const T& value) { set(value); }

    explicit nullable(T&& value) { set(std::move(value)); }

    nullable(const nullable& other) : m_value(copyOf(other.m_value)) {}

    nullable(nullable&& other) noexcept = default;

    nullable& operator=(const nullable& other)
    {
        if (this != &other)
            m_value = copyOf(other.m_value);
        return *this;
    }

    nullable& operator=(nullable&& other) noexcept = default;

    ~nullable() = default;

    bool hasvalue() const noexcept { return static_cast<bool>(m_value); }

    bool empty() const noexcept { return !hasvalue(); }

    // The held value; throws CoreException when empty.
    T& value()
    {
        requireValue();
        return *m_value;
    }

    const T& value() const
    {
        requireValue();
        return *m_value;
    }

    // Makes the nullable hold a value (kept when present, else one at its defaults) and returns it.
    T& set()
    {
        if (!m_value)
            emplaceDefault();
        return *m_value;
    }

    void set(const T& value)
    {
        if (m_value)
            *m_value = value;
        else
            emplace(value);
    }

    void set(T&& value)
    {
        if (m_value)
            *m_value = std::move(value);
        else
            emplace(std::move(value));
    }

    void reset() noexcept { m_value.reset(); }

    void swap(nullable& other) noexcept { std::swap(m_value, other.m_value); }

    friend bool operator==(const nullable& a, const nullable& b)
    {
        if (a.hasvalue() != b.hasvalue())
            return false;
        return !a.hasvalue() || *a.m_value == *b.m_value;
    }

    friend bool operator!=(const nullable& a, const nullable& b) { return !(a == b); }

private:
    static Storage copyOf(const Storage& source)
    {
        if constexpr (kInline)
            return source;
        else
            return source ? std::make_unique<T>(*source) : nullptr;
    }

    void emplaceDefault()
    {
        if constexpr (kInline)
            m_value.emplace();
        else
            m_value = std::make_unique<T>();
    }

    template <typename U>
    void emplace(U&& value)
    {
        if constexpr (kInline)
            m_value.emplace(std::forward<U>(value));
        else
            m_value = std::make_unique<T>(std::forward<U>(value));
    }

    void requireValue() const
    {
        if (!m_value)
            throw CoreException("Nullable has no value");
    }

    Storage m_value;
};

template <typename T>
void swap(nullable<T>& a, nullable<T>& b) noexcept
{
    a.swap(b);
}

} // namespace bond
