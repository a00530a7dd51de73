import java.io.ByteArrayOutputStream;
import java.io.File;
import java.io.FileOutputStream;
import java.io.OutputStream;
import java.nio.file.Files;
import jp.gr.java_conf.dangan.util.lha.CRC16;
import jp.gr.java_conf.dangan.util.lha.CompressMethod;
import jp.gr.java_conf.dangan.util.lha.LhaHeader;
import jp.gr.java_conf.dangan.util.lha.LhaOutputStream;
import jp.gr.java_conf.dangan.util.lha.LhaProperty;

// An LZH archive whose every entry is compressed by jLHA's own -lh1- encoder,
// even where the data does not shrink: jLHA's command-line front end cannot
// choose lh1, and its stream falls back to -lh0- for such data.
// Usage: java -cp /usr/share/java/jlha.jar Lh1Writer.java ARCHIVE FILE...
public class Lh1Writer {
  public static void main(String[] args) throws Exception {
    try (LhaOutputStream out = new LhaOutputStream(new FileOutputStream(args[0]))) {
      for (int i = 1; i < args.length; i++) {
        File file = new File(args[i]);
        byte[] data = Files.readAllBytes(file.toPath());
        ByteArrayOutputStream packed = new ByteArrayOutputStream();
        try (OutputStream encoder =
                 CompressMethod.connectEncoder(packed, CompressMethod.LH1, LhaProperty.getProperties())) {
          encoder.write(data);
        }
        CRC16 crc = new CRC16();
        crc.update(data);
        LhaHeader header = new LhaHeader(file.getName());
        header.setCompressMethod(CompressMethod.LH1);
        header.setOriginalSize(data.length);
        header.setCompressedSize(packed.size());
        header.setCRC((int) crc.getValue());
        header.setLastModified(new java.util.Date(file.lastModified()));
        out.putNextEntryAlreadyCompressed(header);
        packed.writeTo(out);
        out.closeEntry();
      }
    }
  }
}
