#ifndef MCSTAT_FRONTEND_CSVPARSER_H_
#define MCSTAT_FRONTEND_CSVPARSER_H_

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ByteReader.h"
#include "frontend/mcfrontend_export.h"

namespace MCFrontEnd {

// Splits CSV text into records of fields as it reads it, block by block: fields separated by
// one character, optionally in double quotes (a doubled quote inside stands for one, line ends
// allowed inside, blanks allowed after the closing quote), LF or CRLF line ends, an optional
// UTF-8 byte order mark, blank lines skipped. The fields of a record are views into the
// parser's buffer: no allocation per field, and memory for one block and the longest record.
class MCFRONTEND_EXPORT CsvParser {
 public:
  // Reads the header, the first line that is not blank. The separator is `separator`, or when
  // it is 0 the one of comma, semicolon and tab that the header line holds most often (comma
  // when it holds none). `source` names the data in messages. InputError when there is no
  // header, a name is empty (the first column may be unnamed: a row index as R and pandas
  // write it) or given twice.
  CsvParser(std::unique_ptr<ByteReader> input, std::string source, char separator);
  CsvParser(const CsvParser&) = delete;
  CsvParser& operator=(const CsvParser&) = delete;

  const std::vector<std::string>& Names() const { return fvNames; }
  char Separator() const { return fSeparator; }
  const std::string& Source() const { return fSource; }

  // Moves to the next record that is not blank; false at the end of the data. InputError
  // naming the line for a malformed record (an unclosed quote, a quote inside an unquoted
  // field, text after a closing quote) or one with another number of fields than the header.
  bool Next();
  // The current record's field j (j < Names().size()) without its quotes; valid until Next.
  std::string_view Text(std::size_t j) const {
    return std::string_view(fBuffer.data() + fvFields[j].begin, fvFields[j].length);
  }
  bool Quoted(std::size_t j) const { return fvFields[j].quoted; }
  // The line on which the current record starts (1-based).
  std::int64_t Line() const { return fRecordLine; }
  // "SOURCE, line N" for the current record.
  std::string Where() const;

 private:
  struct Span {
    std::uint32_t begin = 0;
    std::uint32_t length = 0;
    bool quoted = false;
    bool escaped = false;  // holds doubled quotes still to be made single
  };

  // Moves the unread bytes to the front and fills the buffer, growing it when a record fills
  // it. Sets fbEof at the end of the data.
  void Fill();
  // Splits the record at fBegin into fvFields. False when the buffer ends before the record
  // does and more data may come; fNext is then meaningless.
  bool Scan();
  // The record at fBegin, blank or not: reads as much as it needs. False at the end.
  bool NextRecord();
  char DetectSeparator();
  [[noreturn]] void Fail(std::int64_t line, const std::string& what) const;

  std::unique_ptr<ByteReader> fpInput;
  std::string fSource;
  char fSeparator = ',';
  std::array<bool, 256> fStop{};  // bytes that end an unquoted field's run
  std::vector<char> fBuffer;
  std::size_t fBegin = 0;  // first unread byte
  std::size_t fEnd = 0;    // end of the bytes read
  std::size_t fNext = 0;   // just past the record Scan found
  bool fbEof = false;
  std::int64_t fLine = 1;  // line at fBegin
  std::int64_t fNextLine = 1;
  std::int64_t fRecordLine = 0;
  std::vector<Span> fvFields;
  std::vector<std::string> fvNames;
};

}  // namespace MCFrontEnd

#endif  // MCSTAT_FRONTEND_CSVPARSER_H_
