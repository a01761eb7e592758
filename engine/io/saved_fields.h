// Saved fields declared once. A streamed class lists the fields of its block in
// one table, in write order: tag, value kind, member and write condition. One
// WriteFields and one ReadFields walk the table, so a field that is written is
// always a field that is read back.
//
// Defaults: a field whose condition is "not default" is left out when it holds
// its type's zero value (0, false, empty, ordinal 0), and a field that does not
// occur in a block reads as that zero value, whatever the object held before.
// Tags a class no longer writes stay in its table as retired: readers skip them
// like unknown tags, and WellFormed refuses a table that gives one to a field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/io/object_values.h"
#include "engine/io/tagged_stream.h"

namespace qd {

// ---- Field declarations ----

enum class TFieldKind : std::uint8_t {
  fkInteger,   //!< 32-bit integer (codes 4–6)
  fkInt64,     //!< 64-bit integer (code 7, or 4–6 when it fits)
  fkByte,      //!< byte (code 3): small numbers and enumeration ordinals
  fkBoolean,   //!< Boolean (codes 8, 9)
  fkString,    //!< string (codes 15, 16)
  fkObject,    //!< object value (code 19) holding a nested block or array
  fkRawBlock,  //!< a nested block right after the tag, without code or size
  fkItems,     //!< an array's items after its count, in the array's own form
  fkRetired,   //!< no longer written; skipped when read
};

//! One field of a block. The function pointers see the whole object, so that
//! hand-written fields fit the same table.
template <class C>
struct TFieldDecl {
  TTag Tag = 0;
  TFieldKind Kind = TFieldKind::fkRetired;
  //! The write condition; nullptr writes the field always.
  bool (*Present)(const C&) = nullptr;
  //! Writes the whole field entry (tag and value); nullptr for a retired tag.
  void (*Write)(TTagWriter&, TTag, const C&) = nullptr;
  //! Reads the value that follows the tag.
  void (*Read)(TTagReader&, C&) = nullptr;
  //! Gives the field its default before a block is read; nullptr keeps it.
  void (*Reset)(C&) = nullptr;
};

//! A tag kept out of use; converts to a retired field of any class.
struct TRetiredTag {
  TTag Tag;
  template <class C>
  constexpr operator TFieldDecl<C>() const {
    return {Tag, TFieldKind::fkRetired};
  }
};
constexpr TRetiredTag Retired(TTag tag) {
  return {tag};
}

//! A block: base tag and fields in write order.
template <class C, std::size_t N>
struct TBlockDecl {
  TTag Base;
  std::array<TFieldDecl<C>, N> Fields;
};

//! The block of class C: `Block<C>(base, {field, field, …})`.
template <class C, std::size_t N>
constexpr TBlockDecl<C, N> Block(TTag base, const TFieldDecl<C> (&fields)[N]) {
  TBlockDecl<C, N> b{base, {}};
  for (std::size_t i = 0; i < N; ++i) b.Fields[i] = fields[i];
  return b;
}

//! True when the base is a multiple of 256, every tag is base + 5k inside the
//! block and no tag occurs twice (retired ones included).
template <class C, std::size_t N>
constexpr bool WellFormed(const TBlockDecl<C, N>& b) {
  if (b.Base % 256 != 0) return false;
  for (std::size_t i = 0; i < N; ++i) {
    const TFieldDecl<C>& f = b.Fields[i];
    const int offset = f.Tag - b.Base;
    if (offset <= 0 || offset >= 255 || offset % 5 != 0) return false;
    for (std::size_t j = i + 1; j < N; ++j)
      if (b.Fields[j].Tag == f.Tag) return false;
  }
  return true;
}

//! Writes the block: begin tag, every present field in table order, end tag.
template <class C, std::size_t N>
void WriteFields(TTagWriter& w, const TBlockDecl<C, N>& b, const C& object) {
  w.WriteTag(b.Base);
  for (const TFieldDecl<C>& f : b.Fields)
    if (f.Write && (!f.Present || f.Present(object))) f.Write(w, f.Tag, object);
  w.WriteTag(EndTag(b.Base));
}

//! Reads the block: resets every field to its default, then reads the fields
//! in any order; unknown and retired tags are skipped.
template <class C, std::size_t N>
void ReadFields(TTagReader& r, const TBlockDecl<C, N>& b, C& object) {
  for (const TFieldDecl<C>& f : b.Fields)
    if (f.Reset) f.Reset(object);
  r.ReadBlock(b.Base, [&](TTag tag) {
    for (const TFieldDecl<C>& f : b.Fields)
      if (f.Tag == tag) {
        if (!f.Read) return false;
        f.Read(r, object);
        return true;
      }
    return false;
  });
}

// ---- Field builders ----

namespace saved_fields_detail {

template <auto Member>
struct TMemberOf;
template <class C, class V, V C::*Member>
struct TMemberOf<Member> {
  using Owner = C;
  using Value = V;
};

template <class V>
constexpr TFieldKind KindOf() {
  if constexpr (std::is_same_v<V, bool>)
    return TFieldKind::fkBoolean;
  else if constexpr (std::is_same_v<V, std::string>)
    return TFieldKind::fkString;
  else if constexpr (std::is_same_v<V, std::int64_t>)
    return TFieldKind::fkInt64;
  else if constexpr (std::is_same_v<V, std::uint8_t> || std::is_enum_v<V>)
    return TFieldKind::fkByte;
  else {
    static_assert(std::is_same_v<V, std::int32_t>, "no stored form for this member type");
    return TFieldKind::fkInteger;
  }
}

template <class V>
void WriteValue(TTagWriter& w, const V& v) {
  if constexpr (std::is_same_v<V, bool>)
    w.WriteBoolean(v);
  else if constexpr (std::is_same_v<V, std::string>)
    w.WriteString(v);
  else if constexpr (std::is_same_v<V, std::int64_t>)
    w.WriteInt64(v);
  else if constexpr (std::is_enum_v<V> || std::is_same_v<V, std::uint8_t>)
    w.WriteByte(static_cast<std::uint8_t>(v));
  else
    w.WriteInteger(v);
}

template <class V>
V ReadValue(TTagReader& r) {
  if constexpr (std::is_same_v<V, bool>)
    return r.ReadBoolean();
  else if constexpr (std::is_same_v<V, std::string>)
    return r.ReadString();
  else if constexpr (std::is_same_v<V, std::int64_t>)
    return r.ReadInt64();
  else if constexpr (std::is_same_v<V, std::uint8_t>)
    return r.ReadByte();
  else
    return r.ReadInteger();
}

}  // namespace saved_fields_detail

template <auto Member>
using TOwnerOf = typename saved_fields_detail::TMemberOf<Member>::Owner;
template <auto Member>
using TValueOf = typename saved_fields_detail::TMemberOf<Member>::Value;

//! A plain value (integer, 64-bit integer, byte, Boolean, string) written when
//! `present` says so.
template <auto Member>
constexpr TFieldDecl<TOwnerOf<Member>> FieldIf(TTag tag, bool (*present)(const TOwnerOf<Member>&)) {
  using C = TOwnerOf<Member>;
  using V = TValueOf<Member>;
  namespace d = saved_fields_detail;
  static_assert(!std::is_enum_v<V>, "enumerations are declared with Ordinal");
  return {tag,
          d::KindOf<V>(),
          present,
          [](TTagWriter& w, TTag t, const C& o) {
            w.WriteTag(t);
            d::WriteValue(w, o.*Member);
          },
          [](TTagReader& r, C& o) { o.*Member = d::ReadValue<V>(r); },
          [](C& o) { o.*Member = V{}; }};
}

//! A plain value written when it differs from its zero value.
template <auto Member>
constexpr TFieldDecl<TOwnerOf<Member>> Field(TTag tag) {
  using C = TOwnerOf<Member>;
  using V = TValueOf<Member>;
  return FieldIf<Member>(tag, [](const C& o) { return !(o.*Member == V{}); });
}

//! A plain value written always.
template <auto Member>
constexpr TFieldDecl<TOwnerOf<Member>> Always(TTag tag) {
  return FieldIf<Member>(tag, [](const TOwnerOf<Member>&) { return true; });
}

//! An enumeration stored as its byte ordinal, written when not ordinal 0;
//! ordinals above `Last` are refused on reading.
template <auto Member, auto Last>
constexpr TFieldDecl<TOwnerOf<Member>> Ordinal(TTag tag) {
  using C = TOwnerOf<Member>;
  using V = TValueOf<Member>;
  static_assert(std::is_enum_v<V> && std::is_same_v<decltype(Last), V>);
  return {tag,
          TFieldKind::fkByte,
          [](const C& o) { return static_cast<std::uint8_t>(o.*Member) != 0; },
          [](TTagWriter& w, TTag t, const C& o) {
            w.WriteByteField(t, static_cast<std::uint8_t>(o.*Member));
          },
          [](TTagReader& r, C& o) {
            const std::uint8_t v = r.ReadByte();
            if (v > static_cast<std::uint8_t>(Last)) RaiseBadValue();
            o.*Member = static_cast<V>(v);
          },
          [](C& o) { o.*Member = static_cast<V>(0); }};
}

//! A nested object with its own Write and Read, as an object value. Written by
//! `present` (nullptr: always); an object whose block is empty leaves nothing.
template <auto Member>
constexpr TFieldDecl<TOwnerOf<Member>> Nested(TTag tag,
                                              bool (*present)(const TOwnerOf<Member>&) = nullptr) {
  using C = TOwnerOf<Member>;
  using V = TValueOf<Member>;
  return {tag,
          TFieldKind::fkObject,
          present,
          [](TTagWriter& w, TTag t, const C& o) {
            WriteObjectInPlace(w, t, [&] { (o.*Member).Write(w); });
          },
          [](TTagReader& r, C& o) { ReadObjectInPlace(r, [&] { (o.*Member).Read(r); }); },
          [](C& o) { o.*Member = V{}; }};
}

//! A list of objects with their own Write and Read, as an object value holding
//! the object-array form; nothing when the list is empty.
template <auto Member>
constexpr TFieldDecl<TOwnerOf<Member>> NestedArray(TTag tag) {
  using C = TOwnerOf<Member>;
  using V = TValueOf<Member>;
  using T = typename V::value_type;
  return {tag,
          TFieldKind::fkObject,
          [](const C& o) { return !(o.*Member).empty(); },
          [](TTagWriter& w, TTag t, const C& o) {
            WriteObjectInPlace(w, t, [&] {
              WriteObjectArray(w, o.*Member, [&](const T& item) { item.Write(w); });
            });
          },
          [](TTagReader& r, C& o) {
            V read;
            ReadObjectInPlace(r, [&] { ReadObjectArray(r, [&] { read.emplace_back().Read(r); }); });
            o.*Member = std::move(read);
          },
          [](C& o) { (o.*Member).clear(); }};
}

//! A field whose value is written and read by hand (nested arrays, checks that
//! span several members); `write` writes the whole entry, tag included.
template <class C>
constexpr TFieldDecl<C> Custom(TTag tag, TFieldKind kind, bool (*present)(const C&),
                               void (*write)(TTagWriter&, TTag, const C&),
                               void (*read)(TTagReader&, C&), void (*reset)(C&) = nullptr) {
  return {tag, kind, present, write, read, reset};
}

}  // namespace qd
