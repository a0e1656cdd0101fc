// Writes the sources of the class data sharing benchmark's application: PARTS packages of
// COUNT/PARTS small classes each (one jar per package in the build), and a main class that
// loads, instantiates and calls every one of them, then prints one line as main ends.
// Usage: java GenerateClasses.java OUTPUT_FOLDER COUNT PARTS
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;

public class GenerateClasses {
    public static void main(String[] args) throws IOException {
        final Path out = Paths.get(args[0], "bench");
        final int count = Integer.parseInt(args[1]);
        final int parts = Integer.parseInt(args[2]);
        final int perPart = count / parts;
        write(out.resolve("Part.java"),
              "package bench;\npublic interface Part {\n    int value(int x);\n}\n");
        for (int p = 0; p < parts; p++) {
            StringBuilder s = new StringBuilder("package bench.p" + p + ";\n");
            s.append("public final class Classes").append(p).append(" {\n");
            for (int i = 0; i < perPart; i++) {
                s.append("    public static final class C").append(i)
                 .append(" implements bench.Part {\n")
                 .append("        private final int[] data = new int[").append(i % 7 + 1).append("];\n")
                 .append("        public int value(int x) {\n")
                 .append("            int r = x;\n")
                 .append("            for (int k = 0; k < data.length; k++)\n")
                 .append("                r = r * 31 + k + ").append(i).append(";\n")
                 .append("            return r ^ data.length;\n")
                 .append("        }\n")
                 .append("        @Override public String toString() { return \"C")
                 .append(i).append("/\" + data.length; }\n")
                 .append("    }\n");
            }
            s.append("}\n");
            write(out.resolve("p" + p).resolve("Classes" + p + ".java"), s.toString());
        }
        write(out.resolve("Main.java"),
              "package bench;\n"
              + "public final class Main {\n"
              + "    public static void main(String[] args) throws Exception {\n"
              + "        long sum = 0;\n"
              + "        for (int p = 0; p < " + parts + "; p++)\n"
              + "            for (int i = 0; i < " + perPart + "; i++) {\n"
              + "                Class<?> type = Class.forName(\"bench.p\" + p + \".Classes\" + p + \"$C\" + i);\n"
              + "                sum += ((Part) type.getDeclaredConstructor().newInstance()).value(i);\n"
              + "            }\n"
              + "        System.out.println(\"loaded " + parts * perPart + " classes\" + (sum == 42 ? \"!\" : \"\"));\n"
              + "    }\n"
              + "}\n");
    }

    static void write(Path file, String text) throws IOException {
        Files.createDirectories(file.getParent());
        Files.write(file, text.getBytes(StandardCharsets.UTF_8));
    }
}
