// What a log-format plug-in declares about itself, in one place, as a format
// driver does: its data-file type (name, long name, extensions, a content
// probe and a priority), its decode device (type number, name, and what each
// message class stands for), the texts of its reader's result codes, and the
// names of the host attributes in which its decoder leaves frequency plans
// and levels.
//
// The declaration is constant data. The module's static registration objects
// take their values from it, and the host reads it after loading the module,
// from the data symbol kel_format_driver (the module exports no function), to
// identify files by their content, to choose among types that share an
// extension, and to learn the roles of message classes and the meanings of
// result codes without knowing the format.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "RolRetc.h"

class CDataFile;
class CVyrDecodeDevice;
class CVyrGenericHsMessage;

// What a message class stands for: a header message sets up what follows (a
// frequency plan, a channel set), a measurement message carries levels.
enum KelMessageRole { KEL_ROLE_OTHER = 0, KEL_ROLE_HEADER = 1, KEL_ROLE_MEASUREMENT = 2 };

struct KelMessageClassDecl {
  int nClass;
  KelMessageRole eRole;
  const char* pszName;
};

struct KelResultCodeDecl {
  int nCode;
  const char* pszText;
};

// Nonzero when the first bytes of a file (nHead of them, the whole file when
// it is shorter) are a log of this format.
using KelIdentifyFn = int (*)(const char* pHead, std::size_t nHead);

// The host attributes (by schema name) in which the decoder leaves what the
// host's scan views read; null for one it does not write.
struct KelScanVocabulary {
  const char* pszFrequency;    // plan frequencies (scope 0) and channel frequencies (message scope)
  const char* pszBandStart;    // first plan element of each band (scope 0)
  const char* pszBinLevel;     // bin and channel levels (message scope)
  const char* pszBinMinimum;   // a statistics log's minimum, maximum and
  const char* pszBinMaximum;   // standard deviation per channel
  const char* pszBinStdDev;
  const char* pszVersionField;  // the header payload field that holds the software version
};

// Optional: what a host needs to decode one large log in pieces side by side
// with the result of one decode from the start. What lasts from one message
// to the next lives in three places: the reader (and the file information
// the host keeps for it), the data state, which the host carries itself, and
// the decode device. A host reads the log once with one reader through
// pfnReadWithoutPayload, saving the reader's state where it cuts the log;
// then each piece's reader gets the state saved at its start, and each
// piece's decode device is checked against the state that the pieces before
// it leave. Each function takes a reader made by the format's data-file
// factory, or a device made by its decode-device factory.
struct KelPiecesDecl {
  // Reads the next message as ReadNextMessage does, with the same effect on
  // the reader and its file information, but may leave a measurement
  // message without its payload (a header message is read in full).
  RolRetc (*pfnReadWithoutPayload)(CDataFile& reader, CVyrGenericHsMessage& msg);
  // The reader's state between two messages, as text, and back: after
  // pfnLoadReaderState a reader reads on as the saved one would have from
  // the same place. False when the reader is not the format's or the text
  // is none of its states.
  bool (*pfnSaveReaderState)(CDataFile& reader, std::string& state);
  bool (*pfnLoadReaderState)(CDataFile& reader, std::string_view state);
  // What a decode device keeps from message to message that changes how it
  // decodes later ones (beyond the data state); null when it keeps nothing.
  // pfnBeginDeviceStretch starts a stretch of messages; pfnDeviceStretchFrom
  // tells whether the messages decoded since would have been decoded the
  // same by a device in the state before, and if so the state after them.
  bool (*pfnSaveDeviceState)(CVyrDecodeDevice& device, std::string& state);
  bool (*pfnLoadDeviceState)(CVyrDecodeDevice& device, std::string_view state);
  void (*pfnBeginDeviceStretch)(CVyrDecodeDevice& device);
  bool (*pfnDeviceStretchFrom)(CVyrDecodeDevice& device, std::string_view before, std::string& after);
};

struct KelFormatDriver {
  const char* pszTypeName;
  const char* pszLongName;
  const char* const* ppszExtensions;  // closed by an empty string
  int nPriority;                      // the higher wins where types share an extension
  KelIdentifyFn pfnIdentify;          // null: by extension alone
  int nDeviceType;
  const char* pszDeviceName;
  const KelMessageClassDecl* pClasses;
  int nClasses;
  const KelResultCodeDecl* pResults;
  int nResults;
  KelScanVocabulary vocabulary;
  const KelPiecesDecl* pPieces;  // null: a log of the format is decoded in one piece
};

#define KEL_FORMAT_DRIVER_SYMBOL "kel_format_driver"
#define KEL_EXPORT_FORMAT_DRIVER extern "C" __attribute__((visibility("default")))

// The declarations of the loaded modules, in load order.
class CFormatDriverRegistry {
 public:
  static void Add(const KelFormatDriver* pDriver);
  static std::vector<const KelFormatDriver*> GetDrivers();
  // A host that unloads a module it refused withdraws its declaration.
  static size_t GetCount();
  static void WithdrawFrom(size_t nFirst);
  // The newest declaration of a data-file type or a device type, or null.
  static const KelFormatDriver* FindByTypeName(const char* pszTypeName);
  static const KelFormatDriver* FindByDeviceType(int nDeviceType);
};
