#include "document/batch_writer.h"

#include "document/object_writer.h"
#include "document/socket_record_writer.h"

namespace wirelens {

Result<Done, SerializerError> writeBatch(const Batch& batch, OutputStyle style, ByteSink& sink) {
  JsonWriter writer(sink, style);
  writeObject(writer, batch);
  return writer.status();
}

}  // namespace wirelens
