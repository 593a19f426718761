#include "bridge/webview/page_call.h"

#include <rapidjson/reader.h>

#include <string_view>

#include "bridge/webview/webview.h"

namespace cvimp::webview {
namespace {

// Reads {id, method, params} without recursion (RapidJSON's iterative
// parser, events only), stopping past kMaxMessageDepth; `idOnly` stops as
// soon as the id is read.
class CallReader : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, CallReader> {
 public:
  CallReader(const std::string& text, const rapidjson::StringStream& stream, bool idOnly, PageCall& call)
      : text_(text), stream_(stream), idOnly_(idOnly), call_(call) {}

  bool tooDeep() const { return tooDeep_; }

  bool Default() {
    if (depth_ == 1) member_ = Member::Other;
    return true;
  }
  bool String(const char* value, rapidjson::SizeType length, bool) {
    if (depth_ == 1 && member_ == Member::Id) {
      call_.id.emplace(value, length);
      if (idOnly_) return false;
    }
    if (depth_ == 1 && member_ == Member::Method) call_.method.assign(value, length);
    return Default();
  }
  bool Key(const char* name, rapidjson::SizeType length, bool) {
    if (depth_ != 1) return true;
    const std::string_view key(name, length);
    member_ = key == "id"       ? Member::Id
              : key == "method" ? Member::Method
              : key == "params" ? Member::Params
                                : Member::Other;
    return true;
  }
  bool StartObject() { return enter(false); }
  bool StartArray() { return enter(true); }
  bool EndObject(rapidjson::SizeType) { return leave(); }
  bool EndArray(rapidjson::SizeType) {
    // The parser reports a bracket before taking it from the stream.
    if (depth_ == 2 && paramsBegin_ != std::string::npos) {
      call_.params = text_.substr(paramsBegin_, stream_.Tell() + 1 - paramsBegin_);
      paramsBegin_ = std::string::npos;
    }
    return leave();
  }

 private:
  enum class Member { Other, Id, Method, Params };

  bool enter(bool array) {
    if (++depth_ > kMaxMessageDepth) {
      tooDeep_ = true;
      return false;
    }
    if (depth_ == 2 && array && member_ == Member::Params) paramsBegin_ = stream_.Tell();
    return true;
  }
  bool leave() {
    --depth_;
    return Default();
  }

  const std::string& text_;
  const rapidjson::StringStream& stream_;
  const bool idOnly_;
  PageCall& call_;
  int depth_ = 0;
  bool tooDeep_ = false;
  Member member_ = Member::Other;
  std::size_t paramsBegin_ = std::string::npos;
};

}  // namespace

PageCall readPageCall(const std::string& message) {
  PageCall call;
  const bool tooLarge = message.size() > kMaxMessageBytes;
  rapidjson::StringStream stream(message.c_str());
  CallReader handler(message, stream, tooLarge, call);
  rapidjson::Reader reader;
  const bool parsed = !reader.Parse<rapidjson::kParseIterativeFlag>(stream, handler).IsError();
  if (tooLarge)
    call.refusal = "The call is larger than " + std::to_string(kMaxMessageBytes) + " bytes";
  else if (handler.tooDeep())
    call.refusal = "The call is nested deeper than " + std::to_string(kMaxMessageDepth) + " levels";
  else if (!parsed)
    call.refusal = "The call is not valid JSON";
  return call;
}

}  // namespace cvimp::webview
