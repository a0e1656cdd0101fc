// Ends the process through System.exit with the code given as first argument (default 3).
// A second argument names a marker file: the run that creates it ends with the code, a run
// that finds it with 0 (an application that asks once to be started again). A run with
// arguments prints them, its folder and a digest of its environment.
package noviq.apps;

import java.io.File;
import java.io.IOException;

public class Exits {
    public static void main(String[] args) throws IOException {
        int code = args.length > 0 ? Integer.parseInt(args[0]) : 3;
        if (args.length > 0)
            System.out.println("Exits " + String.join(" ", args) + " in "
                    + System.getProperty("user.dir") + " environment " + System.getenv().hashCode());
        if (args.length > 1 && !new File(args[1]).createNewFile())
            code = 0;
        System.exit(code);
    }
}
